// Starting and stopping test sessions from the main window, and the engine's cycle.
#include <QLabel>

#include "app/IntegerText.h"
#include "components/ApplicationErrorReport.h"
#include "engine/ProgramLine.h"
#include "ui/ErrorBoxDialog.h"
#include "ui/Umain.h"
#include "ui/forms/Uhelp.h"
#include "ui/forms/Uterm.h"

namespace kvartix {
namespace {

const QColor kStripGreen{0x00, 0x80, 0x00};
const char* const kBadSymbol = "Код символа должен быть целым числом от 0 до 255!";

bool IsSymbol(std::optional<std::int32_t> value) {
    return value && *value >= 0 && *value <= 255;
}

}  // namespace

void TForm1::Button1Click(QObject* sender) {
    const TestMode mode = sender == Button1   ? TestMode::Loopback
                          : sender == Button4 ? TestMode::Terminal
                                              : TestMode::Bert;
    SetBackground(mode == TestMode::Loopback ? *StaticText1 : *StaticText3, kStripGreen);
    LineSettings settings;
    if (!ReadLineSettings(settings) || !ConfirmPort(settings.Port)) {
        ShowStopLook();
        return;
    }
    EnableParityRow(settings.Parity != NoParity);
    EnableXonXoffWatch(false);
    EnableLineWatch(true);
    if (settings.XonXoff) EnableXonXoffWatch(true);
    // A start that fails leaves no running look behind, and the cells show the last run's
    // figures, as after a stop.
    const QString errors = StaticS4->text(), coefficient = StaticS5->text();
    if (!m_controller.Start(mode, settings)) {
        ShowStopLook();
        StaticS4->setText(errors);
        StaticS5->setText(coefficient);
        return;
    }
    Timer1->SetEnabled(true);
    // A terminal session ends when its window closes; without that window, "&Stop" does.
    Button2->setEnabled(mode != TestMode::Terminal || !m_terminal);
    for (QPushButton* b : {Button1, Button3, Button4}) b->setEnabled(false);
    Button5->setEnabled(true);
    Button5->setFocus();
    RefreshErrorPanel();
    if (mode == TestMode::Terminal && m_terminal) {
        m_terminal->show();
        hide();
    }
}

// The bit rate is converted before anything touches the port, so a refused text leaves the
// port free.
bool TForm1::ReadLineSettings(LineSettings& s) {
    const ProgramSettings chosen = CollectSettings();
    const LineSettingsResult line = LineSettingsFrom(chosen);
    if (!line.Settings) {
        ReportApplicationError(QString::fromStdString(line.Error));
        return false;
    }
    s = *line.Settings;
    // A start by keyboard leaves the symbol field without its check; it runs here instead.
    if (!IsSymbol(chosen.Symbol.Value)) {
        EditSymbExit();
        s.Symbol = kDefaultSymbol;
    }
    return true;
}

// A test on the console floods the machine's own log; on a getty's port it talks to a login.
bool TForm1::ConfirmPort(const std::string& portName) {
    const PortInfo port = m_describePort(portName);
    if (!port.HeldBySystem()) return true;
    return AskQuestion(QString::fromStdString(HeldBySystemText(port)) +
                       QStringLiteral(".\nStart the test on it anyway?"));
}

void TForm1::StopSession() {
    Timer1->SetEnabled(false);
    m_controller.Stop();
    ShowStopLook();
}

void TForm1::ShowStopLook() {
    Button2->setEnabled(false);
    for (QPushButton* b : {Button1, Button3, Button4}) b->setEnabled(true);
    Button5->setEnabled(false);
    for (QLabel* strip : {StaticText1, StaticText3})
        SetBackground(*strip, palette().color(QPalette::Button));
    ShowIdleIndicators();
}

void TForm1::Button2Click() {
    if (!Button2->isEnabled()) return;
    StopSession();
    (Core().Mode() == TestMode::Loopback ? Button1 : Button3)->setFocus();
}

void TForm1::Button5Click() {
    Core().RequestClear();
}

void TForm1::ComboBox3Change() {
    EditSymb->setVisible(ComboBox3->currentText() == "1");
}

void TForm1::EditSymbExit() {
    if (IsSymbol(ParseIntegerText(EditSymb->text().toStdString()))) return;
    ShowErrorBox(QString::fromUtf8(kBadSymbol), true);
    EditSymb->setText(QStringLiteral("$5a"));
}

// A port that went away ends the session inside the cycle; the window follows.
void TForm1::Timer1Timer() {
    m_controller.Tick();
    if (m_controller.Running() || !Button5->isEnabled()) return;
    // The terminal window's close stops the session and brings this window back.
    if (m_terminal && m_terminal->isVisible())
        m_terminal->close();
    else
        StopSession();
}

void TForm1::Hconte1Click() {
    if (m_help) {
        m_help->ShowModal();
        return;
    }
    TFhelp help(this);
    help.ShowModal();
}

}  // namespace kvartix
