#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

#include "engine/Engine.h"
#include "engine/EngineView.h"
#include "engine/ErrorBox.h"

namespace kvartix {

// The engine's view for a run without a window: keeps what the window would show, prints
// one line a second, and sends the program's messages to standard error.
class CliReport final : public EngineView, public ErrorBoxSink {
public:
    CliReport(const Engine& engine, std::ostream& out, std::ostream& err, bool printSeconds)
        : m_engine(engine), m_out(out), m_err(err), m_printSeconds(printSeconds) {}

    void ShowDriverError(DriverErrorRow row, bool, std::int32_t, std::uint32_t mask) override;
    void ShowPacketError(PacketErrorRow, bool, std::int32_t) override {}
    void SetLed(Led led, bool on) override { m_leds[led] = on; }
    void SetErrorsCellAlarm(bool) override {}
    void RefreshErrorPanel() override {}
    void SetStatText(StatCell cell, const std::string& text) override;
    void ChartChanged(const RateChart&) override {}
    void ClearTerminalText() override {}
    void SecondElapsed() override;
    void ErrorBox(const std::string& text, bool errorIcon) override;

    std::string Cell(StatCell cell) const;
    const std::map<StatCell, std::string>& Cells() const { return m_cells; }
    std::int64_t ErroredSeconds() const { return m_erroredSeconds; }
    // Cycles in which the driver's receive buffer overflowed: among the other errors.
    std::int64_t ReceiveOverflows() const { return m_receiveOverflows; }
    // Where a row of the run's record goes at each update; none: nowhere.
    void RecordTo(std::ostream* record) { m_record = record; }
    // The timed run is over: the cells stay as they were and no more lines are printed,
    // while the cycles that follow still count errors and characters.
    void EndOfRun() { m_runOver = true; }
    // Counts a last, partial second in which errors grew.
    void Finish();

private:
    const Engine& m_engine;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_printSeconds;
    std::ostream* m_record = nullptr;
    bool m_runOver = false;
    std::map<StatCell, std::string> m_cells;
    std::map<Led, bool> m_leds;
    std::int64_t m_lines = 0;
    std::int64_t m_erroredSeconds = 0;
    std::int64_t m_errorsAtLastSecond = 0;
    bool m_secondErrored = false;
    std::int64_t m_receiveOverflows = 0;
};

}  // namespace kvartix
