#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

#include "cli/CliOptions.h"
#include "engine/Engine.h"
#include "engine/EngineView.h"
#include "serial/ErrorBox.h"

namespace kvartix {

enum class RunVerdict { Clean, Errors, NoData, NeverSynchronised };

// What a run ended with, beyond what the window shows.
struct RunSummary {
    std::string Port;
    TestMode Mode = TestMode::Bert;
    std::int32_t PacketSize = 512;
    double Seconds = 0;
    std::int64_t Received = 0;
    std::int64_t Errors = 0;
    std::int64_t CharRate = 0;
    std::int64_t BitRate = 0;
    double CapacityUsed = 0;
    std::int64_t ErroredSeconds = 0;
    // A start code arrived (a BERT with packets); what the window's red errors cell tells.
    bool Synchronised = false;
    BertChecker Packet;
    DriverErrorCounters Driver;
    // The statistics cells as the window last showed them.
    std::map<StatCell, std::string> Shown;

    bool HasPackets() const { return Mode == TestMode::Bert && PacketSize != 1; }
    bool AnyErrors() const;
    RunVerdict Verdict() const;
};

const char* VerdictText(RunVerdict verdict);

// The engine's view for a run without a window: keeps what the window would show, prints
// one line a second, and sends the program's messages to standard error.
class CliReport final : public EngineView, public ErrorBoxSink {
public:
    CliReport(const Engine& engine, std::ostream& out, std::ostream& err, bool printSeconds)
        : m_engine(engine), m_out(out), m_err(err), m_printSeconds(printSeconds) {}

    void ShowDriverError(DriverErrorRow, bool, std::int32_t, std::uint32_t) override {}
    void ShowPacketError(PacketErrorRow, bool, std::int32_t) override {}
    void SetLed(Led led, bool on) override { m_leds[led] = on; }
    void SetErrorsCellAlarm(bool) override {}
    void RefreshErrorPanel() override {}
    void SetStatText(StatCell cell, const std::string& text) override { m_cells[cell] = text; }
    void ChartChanged(const RateChart&) override {}
    void ClearTerminalText() override {}
    void SecondElapsed() override;
    void ErrorBox(const std::string& text, bool errorIcon) override;

    std::string Cell(StatCell cell) const;
    const std::map<StatCell, std::string>& Cells() const { return m_cells; }
    std::int64_t ErroredSeconds() const { return m_erroredSeconds; }
    // Counts a last, partial second in which errors grew.
    void Finish();

private:
    const Engine& m_engine;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_printSeconds;
    std::map<StatCell, std::string> m_cells;
    std::map<Led, bool> m_leds;
    std::int64_t m_lines = 0;
    std::int64_t m_erroredSeconds = 0;
    std::int64_t m_errorsAtLastSecond = 0;
    bool m_secondErrored = false;
};

RunSummary Summarise(const Engine& engine, const CliReport& report, const CliOptions& options,
                     std::int64_t nowUs);
void PrintSummary(std::ostream& out, const RunSummary& s, const CliOptions& options);
void PrintJson(std::ostream& out, const RunSummary& s);

}  // namespace kvartix
