#pragma once

#include <QTextCursor>
#include <functional>

#include "engine/TerminalText.h"

class QPlainTextEdit;

namespace kvartix {

// The terminal path's text control over a QPlainTextEdit: its blocks are the lines, and the
// caret is the edit's own text cursor, taken at the start of a batch and given back at its end.
class PlainTextTerminal final : public TerminalText {
public:
    explicit PlainTextTerminal(QPlainTextEdit& edit) : m_edit(edit) {}

    void BeginUpdate() override;
    void EndUpdate() override;
    int LineCount() const override;
    int LineLength(int line) const override;
    void DeleteLine(int line) override;
    void DeleteFirstLines(int count) override;
    int EndPosition() const override;
    void SetSelStart(int position) override;
    void SetSelLength(int length) override;
    void ReplaceSelection(const std::u32string& text) override;
    int LineIndex(int line) const override;
    int LineFromChar(int position) const override;
    void ScrollLines(int lines) override { m_scroll += lines; }
    void Receive(const std::uint8_t* data, std::size_t count, LineBreakState& breaks) override {
        if (OnReceive)
            OnReceive(data, count, breaks);
        else
            TerminalText::Receive(data, count, breaks);
    }

    // The window's view of received bytes, when it has one.
    std::function<void(const std::uint8_t*, std::size_t, LineBreakState&)> OnReceive;

private:
    QTextCursor Caret() const;

    QPlainTextEdit& m_edit;
    QTextCursor m_cursor;
    bool m_inBatch = false;
    int m_scroll = 0;
};

}  // namespace kvartix
