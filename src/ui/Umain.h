#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <optional>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "app/SettingsPath.h"
#include "components/KivClasses2.h"
#include "components/KivTLeds.h"
#include "engine/TestSession.h"
#include "serial/Clock.h"
#include "serial/CompletionEvent.h"
#include "serial/SystemPortOpener.h"
#include "ui/ErrorPanel.h"
#include "ui/RateChartWidget.h"

namespace kvartix {

class TFterm;
class TFhelp;

// The main window: line settings, start and stop, lamps, error panel, chart and statistics.
// Every control carries its name as its object name. It shows what the engine reports and
// the port layer's messages.
class TForm1 final : public QMainWindow, public EngineView, public ErrorBoxSink {
  public:
    // The ports discovery found, in order, and the one to preselect.
    TForm1(const std::vector<std::string>& ports, const std::string& preselected,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // False when the transfer events could not be created; the program is to end.
    bool Usable() const { return m_usable; }

    // The settings file of this run: its values go into the controls, and the close saves
    // the controls back into it. Without one (tests) the close saves nothing.
    void LoadSettings(const SettingsLocation& where, const ProgramSettings& settings);
    // The controls as the settings file keeps them, texts as typed.
    ProgramSettings CollectSettings() const;
    // The other windows of the program, created after this one.
    void AttachWindows(TFterm* terminal, TFhelp* help);

    // Handlers, named as the controls and events they serve.
    void Button1Click(QObject* sender);
    void Button2Click();
    void Button5Click();
    void StopSession();
    void ComboBox3Change();
    void EditSymbExit();
    void CheckBox1Click();
    void SpeedButton1Click();
    void Hconte1Click();
    void Timer1Timer();

    // Looks.
    void SetLedActive(TKivLed& led, bool active);
    void EnableXonXoffWatch(bool on);
    void EnableParityRow(bool on);
    void EnableLineWatch(bool on);
    void ShowIdleIndicators();

    // EngineView
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

    // ErrorBoxSink
    void ErrorBox(const std::string& text, bool errorIcon) override;

    Engine& Core() { return m_engine; }
    const TestSession& Session() const { return m_session; }

    // Controls, by container.
    QGroupBox* GroupBox1;
    QComboBox* ComboBox1;
    QLabel* Label1;
    QComboBox* ComboBox2;
    QToolButton* SpeedButton1;
    QRadioButton* RadioD[4];  // RadioD5..RadioD8
    QRadioButton* RadioS[3];  // RadioS1..RadioS3
    QRadioButton* RadioP[5];  // RadioP0..RadioP4
    QCheckBox* CheckHard;
    QCheckBox* CheckSoft;
    QRadioButton* RadioDSR1;
    QRadioButton* RadioDSR2;
    QRadioButton* RadioDTR1;
    QRadioButton* RadioDTR2;
    QRadioButton* RadioRF1;
    QRadioButton* RadioRF2;
    QLabel* StaticText3;
    QLabel* StaticText1;
    QPushButton* Button3;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button4;
    TKivLed* LedXR;
    TKivLed* LedXS;
    TKivLed* LedCTS;
    TKivLed* LedDSR;
    TKivLed* LedDCD;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label2;
    QLabel* Label7;
    QLabel* Label11;
    QComboBox* ComboBox3;
    QLineEdit* EditSymb;
    ErrorPanel* GroupBox10;
    RateChartWidget* Chart1;
    QPushButton* Button5;
    QWidget* StatusBar2;
    QLabel* StaticS0;
    QLabel* StaticS1;
    QLabel* StaticS2;
    QLabel* StaticS3;
    QLabel* StaticS4;
    QLabel* StaticS5;
    TKivTimer32* Timer1;

  protected:
    void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls(QWidget* client);
    void SetHints();
    void SetInitialValues(const std::vector<std::string>& ports, const std::string& preselected);
    void BindHandlers();
    void ShowStopLook();
    bool ReadLineSettings(LineSettings& out);
    void ReadFrameChoices(int& dataBits, int& stopBits, int& parity) const;
    QLabel* StatCellLabel(StatCell cell) const;
    static char LocaleDecimalSeparator();

    SystemClock m_clock;
    SystemPortOpener m_opener{m_clock};
    EventFactory m_eventFactory;
    TransferEvents m_events;
    Engine m_engine{*this, *this, m_clock};
    TestSession m_session{m_engine, *this, m_opener, *this, m_events};
    bool m_usable = false;
    std::optional<SettingsLocation> m_settingsLocation;
    TFterm* m_terminal = nullptr;
    TFhelp* m_help = nullptr;
};

}  // namespace kvartix
