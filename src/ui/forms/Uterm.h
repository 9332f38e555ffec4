#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "app/Settings.h"
#include "engine/TerminalInput.h"
#include "engine/TerminalReceive.h"
#include "engine/TerminalRender.h"
#include "ui/forms/PlainTextTerminal.h"

class QAction;
class QFile;
class QFontDialog;
class QPlainTextEdit;

namespace kvartix {

// The terminal window: shows what the port receives, queues what the user types.
class TFterm : public QMainWindow {
public:
    // txText is the engine's queue of typed bytes; the window only appends to it.
    TFterm(std::string& txText, QWidget* parent = nullptr);
    ~TFterm() override;

    // Caption, bounds, state and font from the settings.
    void FormCreate(const std::string& settingsName, const ProgramSettings& settings);
    // This window's part of a save: state, normal bounds, font.
    void SaveInto(ProgramSettings& settings) const;

    // Run at close, in this order: the session is stopped, then the main window shown.
    std::function<void()> StopSession;
    std::function<void()> ShowMainWindow;

    // The dialog opens on the current font; a confirmed font is taken, a cancel changes nothing.
    void Font1Click();
    // Whether the dialog was confirmed, and with which font.
    std::function<bool(QFontDialog&)> RunFontDialog;

    TerminalText& Text() { return m_text; }
    Qt::WindowStates TerminalWindowState() const { return m_terminalWindowState; }

    QPlainTextEdit* Memo1;
    QAction* Font1;
    QAction* Clear1;
    QAction* Paste1;
    QAction* LineEndCr;
    QAction* LineEndLf;
    QAction* LineEndCrLf;
    QAction* Hex1;
    QAction* Timestamps1;
    QAction* Freeze1;
    QAction* Capture1;
    QAction* CaptureAppend1;

    // The clipboard as typed text; a refused paste names the characters and sends nothing.
    void Paste1Click(bool selection = false);
    void Clear1Click();
    LineEnd LineEndChoice() const { return m_lineEnd; }
    // Shows why a paste or a capture was refused.
    std::function<void(const QString&)> ShowRefusal;
    // Capture: on asks for a file (empty: none) and writes every received byte to it; the
    // file is replaced, or from "Append capture to file" kept and added to. Only a regular
    // file (or a link to one) is taken; a failed write ends the capture with a message.
    void Capture1Click(bool on);
    void CaptureAppend1Click(bool on);
    std::function<QString()> AskCaptureFile;
    // The local time of day in milliseconds, for timestamps.
    std::function<std::int64_t()> MsOfDay;
    QFontDialog* FontDialog1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Memo1KeyPress(char32_t key);
    void SetLineEnd(LineEnd end);
    void SetView();
    void Freeze1Click(bool on);
    void Receive(const std::uint8_t* bytes, std::size_t count, LineBreakState& breaks);
    void Show(const std::string& rendered);
    void StartCapture(bool on, bool append);
    void StopCapture();
    void WriteCapture(const std::uint8_t* bytes, std::size_t count);

    std::string& m_txText;
    PlainTextTerminal m_text;
    Qt::WindowStates m_terminalWindowState = Qt::WindowNoState;
    std::int32_t m_fontColor = 0;
    LineEnd m_lineEnd = LineEnd::Cr;
    TerminalRender m_render;
    // The view changed: what it shows next starts on a line of its own.
    bool m_viewChanged = false;
    // Characters at the end of the text that are the hex row still filling.
    int m_partialShown = 0;
    // Rendered text kept while the view is frozen.
    std::string m_held;
    std::unique_ptr<QFile> m_capture;
    // Whether the capture being chosen keeps what the file holds; the dialog asks accordingly.
    bool m_captureAppends = false;
};

}  // namespace kvartix
