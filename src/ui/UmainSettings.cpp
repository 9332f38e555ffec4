// The main window's part of the settings file, and the other windows it works with.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QPlainTextEdit>

#include "app/SettingsFile.h"
#include "components/ApplicationErrorReport.h"
#include "ui/Umain.h"
#include "ui/forms/ScreenPlacement.h"
#include "ui/forms/Uhelp.h"
#include "ui/forms/Uterm.h"

namespace kvartix {

void TForm1::LoadSettings(const SettingsLocation& where, const ProgramSettings& s) {
    m_settingsLocation = where;
    m_recordFolder = s.RecordFolder;
    m_controller.RecordIn(FolderBeside(where.Path, s.RecordFolder, kNativePathStyle));
    const QString caption = QString::fromStdString(MainCaption(where.Path, kNativePathStyle));
    setWindowTitle(caption);
    SetApplicationTitle(caption);
    // The position is the frame's; the window comes up wholly on a screen.
    const QMargins frame = FrameMargins(*this);
    const QRect client =
        PlaceOnAScreen(std::int64_t{s.Left} + frame.left(), std::int64_t{s.Top} + frame.top(),
                       width(), height(), frame, size());
    move(client.topLeft() - QPoint(frame.left(), frame.top()));
    ShowSettings(s);
}

// The line's controls and the chart's axis, from the settings file or the defaults.
void TForm1::ShowSettings(const ProgramSettings& s) {
    m_line.Show(s);
    if (s.BitRate.Value) Core().SetRateAxis(*s.BitRate.Value);
    Chart1->update();
}

ProgramSettings TForm1::CollectSettings() const {
    ProgramSettings s;
    s.Left = pos().x();
    s.Top = pos().y();
    m_line.Collect(s);
    s.RecordFolder = m_recordFolder;
    if (m_terminal) m_terminal->SaveInto(s);
    return s;
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

}  // namespace kvartix
