#pragma once

#include <cstdint>
#include <string>

#include "engine/BertChecker.h"
#include "engine/BertPattern.h"
#include "engine/EngineState.h"
#include "engine/EngineView.h"
#include "engine/RateChart.h"
#include "engine/Random.h"
#include "engine/TerminalReceive.h"
#include "serial/Clock.h"
#include "serial/CommPort.h"
#include "engine/ErrorBox.h"
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
    void BeginSession(CommPort& port, TransferRecord& writeTransfer, TransferRecord& readTransfer,
                      TestMode mode, const LineSettings& settings, const SessionParameters& params);
    // After this no tick touches the port.
    void EndSession() { m_port = nullptr; }

    // One cycle. A tick outside a session does nothing.
    CycleResult Tick();

    void RequestClear() { ClearRequested = true; }
    // Throws away the session's output not yet on the line; how much, where the port says.
    std::optional<std::uint32_t> PurgeOutput() {
        return m_port ? m_port->PurgeOutput() : std::nullopt;
    }

    // Session inputs and outputs, readable by the windows and tests.
    TestMode Mode = TestMode::Bert;
    LineSettings Settings;
    SessionParameters Params;
    BertPattern Pattern;
    Random Rng;
    EngineState State;
    BertChecker Checker;
    DriverErrorCounters DriverErrors;
    SessionCounters Counters;
    bool FirstTick = false;
    bool ClearRequested = false;
    // While set the BERT starts no new write and the pending one still completes: lets a
    // run's end wait for what is on its way without sending more.
    bool HoldWrites = false;
    // What the last cycle's error query reported: the queues and hold flags.
    CommStatus PortStatus;
    RateChart Chart;
    // Consecutive updates far above the axis; kept for the whole run of the program.
    std::int32_t RescaleCount = 0;
    // The locale's, for the error coefficient.
    char DecimalSeparator = '.';
    // Typed in the terminal window and not yet sent, as code-page bytes; kept across sessions.
    std::string TerminalTxText;
    LineBreakState TerminalBreaks;

private:
    void FirstCycleInit();
    void CountDriverErrors(std::uint32_t mask);
    void UpdateLeds(LineStatus status, LineStatus changed);
    void PerSecondUpdate();
    void ClearStatistics();
    void RunBertPath();
    void RunLoopbackPath();
    void RunTerminalPath();
    void CheckBert(const std::uint8_t* data, std::uint32_t n);

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
};

}  // namespace kvartix
