#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

#include "engine/SessionController.h"
#include "engine/EngineView.h"
#include "engine/ErrorBox.h"

namespace kvartix {

// The engine's view for a run without a window: keeps what the window would show, prints
// one line a second, and sends the program's messages to standard error.
class CliReport final : public EngineView, public ErrorBoxSink {
public:
    // The controller may be built after the report: it is read only once a session runs.
    // A label leads each line when a run has several.
    CliReport(const SessionController& session, std::ostream& out, std::ostream& err,
              bool printSeconds, std::string label = {})
        : m_session(session),
          m_out(out),
          m_err(err),
          m_printSeconds(printSeconds),
          m_label(std::move(label)) {}

    void ShowDriverError(DriverErrorRow, bool, std::int32_t, std::uint32_t) override {}
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
private:
    const SessionController& m_session;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_printSeconds;
    std::string m_label;
    std::map<StatCell, std::string> m_cells;
    std::map<Led, bool> m_leds;
    std::int64_t m_lines = 0;
};

}  // namespace kvartix
