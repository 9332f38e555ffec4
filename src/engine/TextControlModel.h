#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/TerminalText.h"

namespace kvartix {

// A text control held in memory, behaving as the terminal window's control does: the tests'
// stand-in for it, and the text of a terminal run without a window.
class TextControlModel final : public TerminalText {
public:
    void BeginUpdate() override { ++Updates; }
    void EndUpdate() override {}
    int LineCount() const override { return static_cast<int>(m_lines.size()); }
    int LineLength(int line) const override;
    void DeleteLine(int line) override;
    int EndPosition() const override;
    void SetSelStart(int position) override;
    void SetSelLength(int length) override { m_selLength = length; }
    void ReplaceSelection(const std::u32string& text) override;
    int LineIndex(int line) const override;
    int LineFromChar(int position) const override;
    void ScrollLines(int lines) override { Scrolled += lines; }

    int SelStart() const { return m_selStart; }
    void Clear();
    std::u32string Text() const;
    const std::vector<std::u32string>& Lines() const { return m_lines; }

    int Updates = 0;
    int Scrolled = 0;

private:
    // The line and column of a position.
    std::pair<std::size_t, std::size_t> Locate(int position) const;

    std::vector<std::u32string> m_lines{std::u32string{}};
    int m_selStart = 0;
    int m_selLength = 0;
};

}  // namespace kvartix
