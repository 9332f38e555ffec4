#pragma once

#include "engine/EngineView.h"
#include "engine/ErrorBox.h"

namespace kvartix {

class TForm1;

// What the engine and the port layer show, in the main window's controls: the error panel,
// the lamps, the statistics cells, the chart, the terminal's text and the message box.
class MainWindowView final : public EngineView, public ErrorBoxSink {
  public:
    explicit MainWindowView(TForm1& form) : m_form(form) {}

    void ShowDriverError(DriverErrorRow row, bool occurred, std::int32_t count,
                         std::uint32_t errorMask) override;
    void ShowPacketError(PacketErrorRow row, bool occurred, std::int32_t count) override;
    void SetLed(Led led, bool on) override;
    void SetErrorsCellAlarm(bool alarm) override;
    void RefreshErrorPanel() override;
    void SetStatText(StatCell cell, const std::string& text) override;
    void ChartChanged(const RateChart& chart) override;
    void ClearTerminalText() override;
    TerminalText* Terminal() override;
    void ErrorBox(const std::string& text, bool errorIcon) override;

  private:
    TForm1& m_form;
};

}  // namespace kvartix
