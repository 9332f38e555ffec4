// The main window's part of the settings file, and the other windows it works with.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <algorithm>
#include <cctype>

#include "app/SettingsFile.h"
#include "components/ApplicationErrorReport.h"
#include "ui/Umain.h"
#include "ui/forms/ScreenPlacement.h"
#include "ui/forms/Uhelp.h"
#include "ui/forms/Uterm.h"

namespace kvartix {

namespace {

// COM1, com12: a name the serial ports are known by, in any letter case.
bool IsComName(const std::string& text) {
    if (text.size() < 4) return false;
    for (std::size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return false;
    return std::all_of(text.begin() + 3, text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

void TForm1::LoadSettings(const SettingsLocation& where, const ProgramSettings& s) {
    m_settingsLocation = where;
    m_recordFolder = s.RecordFolder;
    m_controller.RecordIn(s.RecordFolder);
    const QString caption = QString::fromStdString(MainCaption(where.Path, kNativePathStyle));
    setWindowTitle(caption);
    SetApplicationTitle(caption);
    // The position is the frame's; the window comes up wholly on a screen.
    const QMargins frame = FrameMargins(*this);
    const QRect client =
        PlaceOnAScreen(std::int64_t{s.Left} + frame.left(), std::int64_t{s.Top} + frame.top(),
                       width(), height(), frame, size());
    move(client.topLeft() - QPoint(frame.left(), frame.top()));
    // Discovery preselected the saved port if it opened, else the first one. A saved text
    // that is no COM name (LOOP with options, a device path, an adapter unplugged now) is
    // the user's own choice and stays; a start on it says if the port is not there.
    if (!s.Port.empty() && !IsComName(s.Port))
        ComboBox1->setEditText(QString::fromStdString(s.Port));
    ShowLineSettings(s);
}

// The line's controls, from the settings file or the defaults.
void TForm1::ShowLineSettings(const ProgramSettings& s) {
    RadioD[std::clamp(s.DataBits, 5, 8) - 5]->setChecked(true);
    RadioS[std::clamp(s.StopBits, 0, 2)]->setChecked(true);
    RadioP[std::clamp(s.Parity, 0, 4)]->setChecked(true);
    // A saved rate that is not in the list still shows.
    const QString rate = QString::fromStdString(s.BitRate.Text);
    ComboBox2->setCurrentIndex(ComboBox2->findText(rate));
    ComboBox2->setEditText(rate);
    if (s.BitRate.Value) Core().SetRateAxis(*s.BitRate.Value);
    ChartChanged(Core().Chart());
    EditSymb->setText(QString::fromStdString(s.Symbol.Text));
    ComboBox3->setCurrentIndex(s.PacketIndex);
    EditSymb->setVisible(s.SymbolVisible);
    CheckSoft->setChecked(s.XonXoff);
    CheckHard->setChecked(s.RtsCts);
    (s.DTREnable ? RadioDTR1 : RadioDTR2)->setChecked(true);
    (s.DSREnable ? RadioDSR1 : RadioDSR2)->setChecked(true);
    (s.RandomFlow ? RadioRF2 : RadioRF1)->setChecked(true);
}

ProgramSettings TForm1::CollectSettings() const {
    ProgramSettings s;
    s.Left = pos().x();
    s.Top = pos().y();
    s.Port = ComboBox1->currentText().toStdString();
    ReadFrameChoices(s.DataBits, s.StopBits, s.Parity);
    s.BitRate = IntegerEntry::Typed(ComboBox2->currentText().toStdString());
    s.XonXoff = CheckSoft->isChecked();
    s.RtsCts = CheckHard->isChecked();
    s.DTREnable = RadioDTR1->isChecked();
    s.DSREnable = RadioDSR1->isChecked();
    s.RandomFlow = RadioRF2->isChecked();
    s.PacketIndex = ComboBox3->currentIndex();
    s.SymbolVisible = ComboBox3->currentText() == "1";
    s.Symbol = IntegerEntry::Typed(EditSymb->text().toStdString());
    s.RecordFolder = m_recordFolder;
    if (m_terminal) m_terminal->SaveInto(s);
    return s;
}

// A group with no button checked leaves its value as it was.
void TForm1::ReadFrameChoices(int& dataBits, int& stopBits, int& parity) const {
    for (int i = 0; i < 4; ++i)
        if (RadioD[i]->isChecked()) dataBits = 5 + i;
    for (int i = 0; i < 3; ++i)
        if (RadioS[i]->isChecked()) stopBits = i;
    for (int i = 0; i < 5; ++i)
        if (RadioP[i]->isChecked()) parity = i;
}

void TForm1::AttachWindows(TFterm* terminal, TFhelp* help) {
    m_terminal = terminal;
    m_help = help;
    if (!m_terminal) return;
    m_terminal->StopSession = [this] { StopSession(); };
    m_terminal->ShowMainWindow = [this] { show(); };
}

// FormCloseQuery and the close step: stop, then save; a save that fails keeps the window
// open, with the file as it was, so that the user can put things right and close again.
void TForm1::closeEvent(QCloseEvent* event) {
    StopSession();
    if (m_settingsLocation) {
        if (const auto problem = SaveSettingsFile(*m_settingsLocation, CollectSettings())) {
            ReportApplicationError(QString::fromStdString(*problem));
            event->ignore();
            return;
        }
    }
    event->accept();
    QCoreApplication::quit();
}

// Its frame, known once shown, goes on the screen too.
void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    KeepOnAScreen(*this, size());
}

void TForm1::ClearTerminalText() {
    if (m_terminal) m_terminal->Memo1->clear();
}

TerminalText* TForm1::Terminal() { return m_terminal ? &m_terminal->Text() : nullptr; }

}  // namespace kvartix
