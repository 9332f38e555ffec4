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
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "app/SettingsPath.h"
#include "components/KivClasses2.h"
#include "components/KivTLeds.h"
#include "engine/SessionController.h"
#include "serial/Clock.h"
#include "serial/PortInfo.h"
#include "serial/SystemPortOpener.h"
#include "ui/ErrorPanel.h"
#include "ui/LineControls.h"
#include "ui/MainWindowView.h"
#include "ui/RateChartWidget.h"

namespace kvartix {

class TFterm;
class TFhelp;

// The main window: line settings, start and stop, lamps, error panel, chart and statistics.
// Every control carries its name as its object name.
class TForm1 final : public QMainWindow {
  public:
    // The ports discovery found, in order, and the one to preselect.
    TForm1(const std::vector<std::string>& ports, const std::string& preselected,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // False when the transfer events could not be created; the program is to end.
    bool Usable() const { return m_controller.Usable(); }

    // The settings file of this run: its values go into the controls, and the close saves
    // the controls back into it. Without one (tests) the close saves nothing.
    void LoadSettings(const SettingsLocation& where, const ProgramSettings& settings);
    // The controls as the settings file keeps them, texts as typed.
    ProgramSettings CollectSettings() const;
    // What each listed port is, in the order of the list: the items' hints, and the box's
    // for the port chosen.
    void ShowPortInfo(const std::vector<PortInfo>& info) { m_line.ShowPortInfo(info); }
    // What a start asks of the port it is about to open; the system by default.
    using PortDescriber = std::function<PortInfo(const std::string& portName)>;
    void SetPortDescriber(PortDescriber describe) { m_describePort = std::move(describe); }
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

    // What the engine shows, shown in this window.
    MainWindowView& View() { return m_view; }
    void RefreshErrorPanel();
    TFterm* TerminalWindow() const { return m_terminal; }

    Engine& Core() { return m_controller.Core(); }
    const SessionController& Session() const { return m_controller; }
    // The session's record file, empty when none is being written.
    QString RecordPath() const { return QString::fromStdString(m_controller.RecordPath()); }

    // Controls, by container.
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;  // data bits
    QGroupBox* GroupBox3 = nullptr;  // stop bits
    QGroupBox* GroupBox4 = nullptr;  // parity
    QGroupBox* GroupBox5 = nullptr;  // flow control
    QGroupBox* GroupBox6 = nullptr;  // DTR
    QGroupBox* GroupBox7 = nullptr;  // the lamps
    QGroupBox* GroupBox8 = nullptr;  // DSR
    QGroupBox* GroupBox9 = nullptr;  // data speed
    QComboBox* ComboBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QRadioButton* RadioD[4] = {};  // RadioD5..RadioD8
    QRadioButton* RadioS[3] = {};  // RadioS1..RadioS3
    QRadioButton* RadioP[5] = {};  // RadioP0..RadioP4
    QCheckBox* CheckHard = nullptr;
    QCheckBox* CheckSoft = nullptr;
    QRadioButton* RadioDSR1 = nullptr;
    QRadioButton* RadioDSR2 = nullptr;
    QRadioButton* RadioDTR1 = nullptr;
    QRadioButton* RadioDTR2 = nullptr;
    QRadioButton* RadioRF1 = nullptr;
    QRadioButton* RadioRF2 = nullptr;
    QLabel* StaticText3 = nullptr;
    QLabel* StaticText1 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button4 = nullptr;
    TKivLed* LedXR = nullptr;
    TKivLed* LedXS = nullptr;
    TKivLed* LedCTS = nullptr;
    TKivLed* LedDSR = nullptr;
    TKivLed* LedDCD = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label11 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QLineEdit* EditSymb = nullptr;
    ErrorPanel* GroupBox10 = nullptr;
    RateChartWidget* Chart1 = nullptr;
    QPushButton* Button5 = nullptr;
    QWidget* StatusBar2 = nullptr;
    QLabel* StaticS0 = nullptr;
    QLabel* StaticS1 = nullptr;
    QLabel* StaticS2 = nullptr;
    QLabel* StaticS3 = nullptr;
    QLabel* StaticS4 = nullptr;
    QLabel* StaticS5 = nullptr;
    TKivTimer32* Timer1 = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls(QWidget* client);
    void ShowSettings(const ProgramSettings& settings);
    void BindHandlers();
    void ShowStopLook();
    bool ConfirmPort(const std::string& portName);
    bool ReadLineSettings(LineSettings& out);
    static char LocaleDecimalSeparator();

    SystemClock m_clock;
    SystemPortOpener m_opener{m_clock};
    MainWindowView m_view{*this};
    LineControls m_line{*this};
    SessionController m_controller{m_view, m_view, m_opener, m_clock};
    std::optional<SettingsLocation> m_settingsLocation;
    TFterm* m_terminal = nullptr;
    TFhelp* m_help = nullptr;
    PortDescriber m_describePort;
    // The settings file's record folder, kept as loaded.
    std::string m_recordFolder;
};

}  // namespace kvartix
