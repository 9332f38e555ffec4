#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvartix {

struct LineBreakState;

// The terminal's text control as the terminal path drives it: a list of lines and a caret.
// Positions count characters, a line break as one; a position past the end means the end.
class TerminalText {
public:
    virtual ~TerminalText() = default;

    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    virtual int LineCount() const = 0;
    virtual int LineLength(int line) const = 0;
    virtual void DeleteLine(int line) = 0;
    // The first count lines; by default one by one.
    virtual void DeleteFirstLines(int count);
    virtual int EndPosition() const = 0;
    virtual void SetSelStart(int position) = 0;
    virtual void SetSelLength(int length) = 0;
    // The text may hold '\n' line breaks.
    virtual void ReplaceSelection(const std::u32string& text) = 0;
    // First character of a line; -1 asks for the caret's line.
    virtual int LineIndex(int line) const = 0;
    virtual int LineFromChar(int position) const = 0;
    virtual void ScrollLines(int lines) = 0;
    // A batch as the port read it; by default shown as it came (InsertReceived).
    virtual void Receive(const std::uint8_t* data, std::size_t count, LineBreakState& breaks);
};

}  // namespace kvartix
