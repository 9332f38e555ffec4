#include "ui/forms/Uterm.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextBlock>
#include <QTime>

#include <algorithm>

#include "engine/CodePage.h"
#include "ui/forms/FormFonts.h"
#include "ui/forms/ScreenPlacement.h"

namespace kvartix {
namespace {

// The settings' colours are 0x00BBGGRR; a system colour (top bit set) has no fixed value.
QColor FromSettingsColor(std::int32_t c) {
    if (c < 0) return Qt::black;
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Qt's own font dialog has an "Effects" group (strike-out, underline); the terminal's
// font carries no effects, so the group is hidden: it is the group box holding check boxes.
void HideEffects(QFontDialog& dialog) {
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>())
        if (!group->findChildren<QCheckBox*>().isEmpty()) group->hide();
}

// CR LF, a lone CR and a lone LF become the one '\n' the text takes; the state carries a CR
// at the end of one batch over to the next.
std::string SettleLineBreaks(const std::string& text, LineBreakState& breaks) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const bool lfAfterCr = c == '\n' && breaks.LastWasCr;
        breaks.LastWasCr = c == '\r';
        if (!lfAfterCr) out += c == '\r' ? '\n' : c;
    }
    return out;
}

// Where the part of a shown text starts that the text keeps: with more line breaks than the
// text keeps lines, what comes before the break that opens its last lines would go in only to
// be dropped in the same batch. A backspace may take a break back, so such text goes in whole.
std::size_t KeptFrom(const std::string& text) {
    if (text.find('\b') != std::string::npos) return 0;
    std::size_t at = text.size();
    for (int breaks = 0; breaks < kTerminalMaxLines; ++breaks) {
        if (at == 0) return 0;
        at = text.rfind('\n', at - 1);
        if (at == std::string::npos) return 0;
    }
    return at;
}

}  // namespace

TFterm::TFterm(std::string& txText, QWidget* parent)
    : QMainWindow(parent),
      Memo1(new QPlainTextEdit(this)),
      FontDialog1(new QFontDialog(this)),
      m_txText(txText),
      m_text(*Memo1) {
    setFont(FormFont(11));
    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("View1"));
    Font1 = view->addAction(QStringLiteral("Font"), this, &TFterm::Font1Click);
    Font1->setObjectName(QStringLiteral("Font1"));
    Font1->setToolTip(QStringLiteral("Принятые байты показаны в кодировке Windows-1251"));
    view->setToolTipsVisible(true);
    Clear1 = view->addAction(QStringLiteral("Clear"), this, &TFterm::Clear1Click);
    Clear1->setObjectName(QStringLiteral("Clear1"));
    Clear1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+L")));
    Hex1 = view->addAction(QStringLiteral("Hex"), this, &TFterm::SetView);
    Hex1->setObjectName(QStringLiteral("Hex1"));
    Hex1->setCheckable(true);
    Timestamps1 = view->addAction(QStringLiteral("Timestamps"), this, &TFterm::SetView);
    Timestamps1->setObjectName(QStringLiteral("Timestamps1"));
    Timestamps1->setCheckable(true);
    Freeze1 = view->addAction(QStringLiteral("Freeze"), this, &TFterm::Freeze1Click);
    Freeze1->setObjectName(QStringLiteral("Freeze1"));
    Freeze1->setCheckable(true);
    QMenu* lineEnd = view->addMenu(QStringLiteral("Line end"));
    auto* ends = new QActionGroup(this);
    const auto addEnd = [&](const char* caption, LineEnd end) {
        QAction* a = lineEnd->addAction(QString::fromLatin1(caption), this,
                                        [this, end] { SetLineEnd(end); });
        a->setCheckable(true);
        a->setChecked(end == LineEnd::Cr);
        ends->addAction(a);
        return a;
    };
    LineEndCr = addEnd("CR", LineEnd::Cr);
    LineEndLf = addEnd("LF", LineEnd::Lf);
    LineEndCrLf = addEnd("CR LF", LineEnd::CrLf);

    auto* file = new QMenu(QStringLiteral("File"), this);
    file->setObjectName(QStringLiteral("File1"));
    menuBar()->insertMenu(view->menuAction(), file);
    Capture1 = file->addAction(QStringLiteral("Capture to file"));
    Capture1->setObjectName(QStringLiteral("Capture1"));
    Capture1->setCheckable(true);
    connect(Capture1, &QAction::triggered, this, &TFterm::Capture1Click);
    CaptureAppend1 = file->addAction(QStringLiteral("Append capture to file"));
    CaptureAppend1->setObjectName(QStringLiteral("CaptureAppend1"));
    CaptureAppend1->setCheckable(true);
    connect(CaptureAppend1, &QAction::triggered, this, &TFterm::CaptureAppend1Click);
    // Appending replaces nothing, so there is nothing to confirm.
    AskCaptureFile = [this] {
        return QFileDialog::getSaveFileName(
            this, (m_captureAppends ? CaptureAppend1 : Capture1)->text(), QString(), QString(),
            nullptr, m_captureAppends ? QFileDialog::DontConfirmOverwrite : QFileDialog::Options());
    };
    MsOfDay = [] { return std::int64_t{QTime::currentTime().msecsSinceStartOfDay()}; };
    m_text.OnReceive = [this](const std::uint8_t* bytes, std::size_t count,
                              LineBreakState& breaks) { Receive(bytes, count, breaks); };

    auto* edit = new QMenu(QStringLiteral("Edit"), this);
    menuBar()->insertMenu(view->menuAction(), edit);
    edit->setObjectName(QStringLiteral("Edit1"));
    Paste1 = edit->addAction(QStringLiteral("Paste"), this, [this] { Paste1Click(); });
    Paste1->setObjectName(QStringLiteral("Paste1"));
    Paste1->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+V")));
    ShowRefusal = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };

    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    // Keys still reach the control, and a caret shows where the view is kept.
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setUndoRedoEnabled(false);
    Memo1->setPlainText(QStringLiteral("Memo1"));
    Memo1->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);
    setCentralWidget(Memo1);

    FontDialog1->setOption(QFontDialog::DontUseNativeDialog);
    HideEffects(*FontDialog1);
    RunFontDialog = [](QFontDialog& d) { return d.exec() == QDialog::Accepted; };
    setGeometry(167, 120, 425, 391);
}

TFterm::~TFterm() = default;

void TFterm::FormCreate(const std::string& settingsName, const ProgramSettings& s) {
    setWindowTitle(QString::fromStdString("Term " + settingsName));
    setWindowState(Qt::WindowNoState);
    // Whatever the file holds, the window comes up on a screen, no larger than it.
    setGeometry(PlaceOnAScreen(s.TerminalLeft, s.TerminalTop, s.TerminalWidth, s.TerminalHeight,
                               FrameMargins(*this), minimumSizeHint()));
    m_terminalWindowState = s.TerminalNormal ? Qt::WindowNoState : Qt::WindowMaximized;
    setWindowState(m_terminalWindowState);
    QFont font(QString::fromStdString(s.FontName));
    font.setPointSize(s.FontSize > 0 ? s.FontSize : 8);
    font.setStyleHint(QFont::TypeWriter);
    FontDialog1->setCurrentFont(font);
    Memo1->setFont(font);
    m_fontColor = s.FontColor;
    SetLineEnd(static_cast<LineEnd>(s.TerminalLineEnd));
    Hex1->setChecked(s.TerminalHex);
    Timestamps1->setChecked(s.TerminalTimestamps);
    SetView();
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Text, FromSettingsColor(s.FontColor));
    Memo1->setPalette(palette);
}

void TFterm::SaveInto(ProgramSettings& s) const {
    s.TerminalNormal = m_terminalWindowState == Qt::WindowNoState;
    const QRect bounds = normalGeometry().isValid() ? normalGeometry() : geometry();
    s.TerminalLeft = bounds.x();
    s.TerminalTop = bounds.y();
    s.TerminalWidth = bounds.width();
    s.TerminalHeight = bounds.height();
    const QFont font = Memo1->font();
    s.FontName = font.family().toStdString();
    s.FontSize = font.pointSize();
    s.FontColor = m_fontColor;
    s.TerminalLineEnd = static_cast<std::int32_t>(m_lineEnd);
    s.TerminalHex = Hex1->isChecked();
    s.TerminalTimestamps = Timestamps1->isChecked();
}

void TFterm::Font1Click() {
    FontDialog1->setCurrentFont(Memo1->font());
    if (RunFontDialog(*FontDialog1)) Memo1->setFont(FontDialog1->currentFont());
}

void TFterm::Clear1Click() {
    Memo1->clear();
    m_partialShown = 0;
    m_held.clear();
}

// A row still filling stays as it was shown; the next bytes start the new view, on a line of
// their own.
void TFterm::SetView() {
    const TerminalViewOptions view{Hex1->isChecked(), Timestamps1->isChecked()};
    const TerminalViewOptions& was = m_render.Options();
    m_viewChanged = m_viewChanged || view.Hex != was.Hex || view.Timestamps != was.Timestamps;
    m_render = TerminalRender(view);
    m_partialShown = 0;
}

void TFterm::Freeze1Click(bool on) {
    if (on) return;
    std::string held;
    held.swap(m_held);
    Show(held);
}

void TFterm::Capture1Click(bool on) { StartCapture(on, false); }

void TFterm::CaptureAppend1Click(bool on) { StartCapture(on, true); }

void TFterm::StopCapture() {
    m_capture.reset();
    Capture1->setChecked(false);
    CaptureAppend1->setChecked(false);
}

void TFterm::StartCapture(bool on, bool append) {
    StopCapture();
    if (!on) return;
    m_captureAppends = append;
    const QString path = AskCaptureFile();
    if (path.isEmpty()) return;
    const QString cannotOpen = QStringLiteral("Не удалось открыть файл ") + path;
    // The capture is written as bytes arrive: a FIFO without a reader, a socket or a device
    // could hold the receive path at a write, or at the open itself. A link is followed.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return ShowRefusal(cannotOpen + QStringLiteral(": это не обычный файл"));
    auto file = std::make_unique<QFile>(path);
    // Unbuffered, so a failed write leaves nothing behind for the close to try again.
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered |
                                     (append ? QIODevice::Append : QIODevice::Truncate);
    if (!file->open(mode)) return ShowRefusal(cannotOpen);
    m_capture = std::move(file);
    (append ? CaptureAppend1 : Capture1)->setChecked(true);
}

void TFterm::WriteCapture(const std::uint8_t* bytes, std::size_t count) {
    const auto size = static_cast<qint64>(count);
    const auto* chars = reinterpret_cast<const char*>(bytes);
    qint64 written = m_capture->write(chars, size);
    // A short write is tried on once: the second try tells why it stopped.
    if (written >= 0 && written < size) {
        const qint64 more = m_capture->write(chars + written, size - written);
        written = more < 0 ? more : written + more;
    }
    if (written == size) return;
    const QString message = QStringLiteral("Не удалось записать файл %1: %2")
                                .arg(m_capture->fileName(), m_capture->errorString());
    // Stopped before the message: its box runs events, and bytes go on arriving meanwhile.
    StopCapture();
    ShowRefusal(message);
}

void TFterm::Receive(const std::uint8_t* bytes, std::size_t count, LineBreakState& breaks) {
    if (m_capture) WriteCapture(bytes, count);
    const TerminalViewOptions& view = m_render.Options();
    if (!view.Hex && !view.Timestamps && !Freeze1->isChecked() && m_held.empty() &&
        !m_viewChanged) {
        InsertReceived(m_text, bytes, count, breaks);  // the text as it always was
        return;
    }
    // Breaks are settled as the bytes come, shown or held, so a freeze that falls between a CR
    // and its LF leaves them the one break they are.
    std::string rendered = SettleLineBreaks(m_render.Feed(bytes, count, MsOfDay()), breaks);
    if (!Freeze1->isChecked()) return Show(rendered);
    m_held += rendered;
    // Kept within what the text itself would keep: its last lines at their longest.
    constexpr std::size_t kLimit = std::size_t{kTerminalMaxLines} * (kTerminalMaxLineLength + 1);
    if (m_held.size() > kLimit) {
        const auto cut = m_held.find('\n', m_held.size() - kLimit);
        m_held.erase(0, cut == std::string::npos ? m_held.size() - kLimit : cut + 1);
    }
}

void TFterm::Show(const std::string& rendered) {
    if (m_partialShown > 0) {
        // The row still filling is written again with its new bytes; the caret stays put.
        // By position: a step left at a time asks the line's layout for every character.
        const int end = Memo1->document()->characterCount() - 1;
        QTextCursor row(Memo1->document());
        row.setPosition(std::max(0, end - m_partialShown));
        row.setPosition(end, QTextCursor::KeepAnchor);
        row.removeSelectedText();
    }
    const std::string partial = m_render.PartialRow();
    std::string all = rendered + partial;
    if (m_viewChanged && !all.empty()) {
        m_viewChanged = false;
        // The old view's last line, a row still filling above all, is not run on into.
        if (Memo1->document()->lastBlock().length() > 1) all.insert(all.begin(), '\n');
    }
    LineBreakState settled;  // the text holds no CR by now
    const std::size_t from = KeptFrom(all);
    InsertReceived(m_text, reinterpret_cast<const std::uint8_t*>(all.data()) + from,
                   all.size() - from, settled);
    m_partialShown = static_cast<int>(partial.size());
}

void TFterm::SetLineEnd(LineEnd end) {
    m_lineEnd = end;
    (end == LineEnd::Lf     ? LineEndLf
     : end == LineEnd::CrLf ? LineEndCrLf
                            : LineEndCr)
        ->setChecked(true);
}

void TFterm::Paste1Click(bool selection) {
    const QClipboard* clipboard = QApplication::clipboard();
    const bool fromSelection = selection && clipboard->supportsSelection();
    const QString text =
        clipboard->text(fromSelection ? QClipboard::Selection : QClipboard::Clipboard);
    const auto ucs = text.toUcs4();
    const PasteBytes paste = ToPasteBytes(std::u32string(ucs.begin(), ucs.end()), m_lineEnd);
    if (paste.Refused.empty()) {
        m_txText += paste.Bytes;
        return;
    }
    // A box naming thousands would be taller than the screen: the first ones and a count.
    constexpr std::size_t kNamed = 20;
    QStringList refused;
    for (std::size_t i = 0; i < std::min(paste.Refused.size(), kNamed); ++i) {
        const char32_t c = paste.Refused[i];
        refused << QStringLiteral("%1 (U+%2)")
                       .arg(QString::fromUcs4(&c, 1))
                       .arg(QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, u'0'));
    }
    QString message = QStringLiteral("Не отправлено: символов нет в кодировке Windows-1251: ") +
                      refused.join(QStringLiteral(", "));
    if (paste.Refused.size() > kNamed)
        message += QStringLiteral(" … и ещё %1").arg(paste.Refused.size() - kNamed);
    ShowRefusal(message);
}

void TFterm::Memo1KeyPress(char32_t key) {
    std::uint8_t byte = 0;
    if (ToCp1251(key, byte)) m_txText.push_back(static_cast<char>(byte));
}

bool TFterm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton) {
        Paste1Click(true);
        return true;
    }
    if (watched != Memo1 || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // Only these take Ctrl+Shift; every plain Ctrl+letter goes to the line.
    if (key->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
        if (key->key() == Qt::Key_V) return Paste1Click(), true;
        if (key->key() == Qt::Key_L) return Clear1Click(), true;
    }
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            m_txText += LineEndBytes(m_lineEnd);
            return true;
        case Qt::Key_Backspace:
            Memo1KeyPress(8);
            return true;
        case Qt::Key_Escape:
            Memo1KeyPress(27);
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;  // a focus key, not a character
        default:
            break;
    }
    for (const char32_t c : key->text().toUcs4()) Memo1KeyPress(c);
    return false;
}

void TFterm::closeEvent(QCloseEvent* event) {
    if (StopSession) StopSession();
    m_terminalWindowState =
        windowState() & Qt::WindowMaximized ? Qt::WindowMaximized : Qt::WindowNoState;
    setWindowState(Qt::WindowNoState);
    if (ShowMainWindow) ShowMainWindow();
    event->accept();  // hides; the window lives until the program ends
}

void TFterm::showEvent(QShowEvent* event) {
    setWindowState(m_terminalWindowState);
    QMainWindow::showEvent(event);
    KeepOnAScreen(*this, minimumSizeHint());
}

// While the terminal runs it is the program's only window, so minimizing it minimizes the
// program; coming back it is normal, as the program's restore leaves it.
void TFterm::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
            setWindowState(Qt::WindowNoState);
    }
    QMainWindow::changeEvent(event);
}

}  // namespace kvartix
