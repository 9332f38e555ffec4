#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/BertChecker.h"
#include "engine/BertPattern.h"
#include "engine/EngineState.h"
#include "engine/EngineView.h"
#include "engine/PatternChecker.h"
#include "engine/ErrorBox.h"
#include "engine/Random.h"
#include "engine/RateChart.h"
#include "engine/RunFigures.h"
#include "engine/TerminalReceive.h"
#include "serial/Clock.h"
#include "serial/CommPort.h"
#include "serial/LineSettings.h"
#include "serial/SessionParameters.h"

namespace kvartix {

enum class CycleResult { Continue, PortLost };

// The 100 ms engine cycle and the state it keeps between cycles.
class Engine {
public:
    Engine(EngineView& view, ErrorBoxSink& box, const Clock& clock)
        : m_view(view), m_box(box), m_clock(clock) {}

    // Hands the engine a configured port for a new session; the next tick is the first.
    // Zeroes what the first tick does not: the received count and the error counts, and
    // builds the session's BERT pattern.
    void BeginSession(CommPort& port, TransferRecord& writeTransfer, TransferRecord& readTransfer,
                      TestMode mode, const LineSettings& settings, const SessionParameters& params);
    // After this no tick touches the port.
    void EndSession() { m_port = nullptr; }

    // One cycle. A tick outside a session does nothing.
    CycleResult Tick();

    void RequestClear() { m_clearRequested = true; }
    // Throws away the session's output not yet on the line; how much, where the port says.
    std::optional<std::uint32_t> PurgeOutput() {
        return m_port ? m_port->PurgeOutput() : std::nullopt;
    }
    // While set the BERT starts no new write and the pending one still completes: lets a
    // run's end wait for what is on its way without sending more.
    void SetHoldWrites(bool hold) { m_holdWrites = hold; }
    // The chart's axis for a bit rate; its points stay.
    const RateChart& SetRateAxis(std::int32_t bitRate) {
        m_chart.SetRateAxis(bitRate);
        return m_chart;
    }
    // The locale's, for the error coefficient.
    void SetDecimalSeparator(char separator) { m_decimalSeparator = separator; }

    // The session's inputs and what it has counted so far.
    TestMode Mode() const { return m_mode; }
    const LineSettings& Settings() const { return m_settings; }
    const SessionParameters& Params() const { return m_params; }
    const BertPattern& Pattern() const { return m_pattern; }
    const EngineState& State() const { return m_state; }
    const BertChecker& Checker() const { return m_checker; }
    // The test pattern's counts; none while the BERT sends its packets.
    const PatternCounts* Sequence() const {
        return m_sequenceChecker ? &m_sequenceChecker->Counts() : nullptr;
    }
    const DriverErrorCounters& DriverErrors() const { return m_driverErrors; }
    const SessionCounters& Counters() const { return m_counters; }
    bool FirstTickPending() const { return m_firstTick; }
    bool HoldWrites() const { return m_holdWrites; }
    // What the last cycle's error query reported: the queues and hold flags.
    const CommStatus& PortStatus() const { return m_portStatus; }
    const RateChart& Chart() const { return m_chart; }
    // What the last second's update showed, worked out as the cells work it out.
    const RunFigures& LastUpdate() const { return m_update; }

    // Typed in the terminal window and not yet sent, as code-page bytes; kept across
    // sessions. The terminal window appends, the terminal path takes from the front.
    std::string TerminalTxText;

private:
    void FirstCycleInit();
    void CountDriverErrors(std::uint32_t mask);
    void TrackXoffHold(LineStatus line);
    void UpdateLeds(LineStatus status, LineStatus changed);
    void PerSecondUpdate();
    void ClearStatistics();
    void RunBertPath();
    void RunLoopbackPath();
    void RunTerminalPath();
    void CheckBert(const std::uint8_t* data, std::uint32_t n);
    void RunSequencePath();
    void CheckSequence(const std::uint8_t* data, std::uint32_t n);

    // Port transfers; false when the cycle is to end here.
    bool Read(std::uint8_t* buffer, std::int32_t count, std::uint32_t& got, const char* failText);
    bool WriteGateOpen(std::uint32_t& transferred, const std::string& writeText);
    IoResult Write(const std::uint8_t* buffer, std::int32_t count, const std::string& writeText);

    EngineView& m_view;
    ErrorBoxSink& m_box;
    const Clock& m_clock;
    CommPort* m_port = nullptr;
    TransferRecord* m_writeTransfer = nullptr;
    TransferRecord* m_readTransfer = nullptr;
    bool m_portLost = false;

    TestMode m_mode = TestMode::Bert;
    LineSettings m_settings;
    SessionParameters m_params;
    BertPattern m_pattern;
    Random m_rng;
    EngineState m_state;
    BertChecker m_checker;
    // A test pattern instead of the packets: what is to go out (its front in the pending
    // write, if any) and the receive side's checker.
    std::optional<PatternGenerator> m_sequenceSource;
    std::vector<std::uint8_t> m_sequenceOut;
    std::optional<PatternChecker> m_sequenceChecker;
    DriverErrorCounters m_driverErrors;
    SessionCounters m_counters;
    RunFigures m_update;
    bool m_firstTick = false;
    bool m_clearRequested = false;
    bool m_holdWrites = false;
    CommStatus m_portStatus;
    RateChart m_chart;
    // Consecutive updates far above the axis; kept for the whole run of the program.
    std::int32_t m_rescaleCount = 0;
    char m_decimalSeparator = '.';
    LineBreakState m_terminalBreaks;

    friend struct EngineProbe;  // tests set counts the line would take long to produce
};

}  // namespace kvartix
