#include "engine/TextControlModel.h"

#include <algorithm>

namespace kvartix {

int TextControlModel::LineLength(int line) const {
    if (line < 0 || line >= LineCount()) return 0;
    return static_cast<int>(m_lines[static_cast<std::size_t>(line)].size());
}

void TextControlModel::DeleteLine(int line) {
    if (line < 0 || line >= LineCount()) return;
    const int start = LineIndex(line);
    const int removed = LineLength(line) + 1;
    m_lines.erase(m_lines.begin() + line);
    if (m_lines.empty()) m_lines.emplace_back();
    if (m_selStart >= start + removed)
        m_selStart -= removed;
    else if (m_selStart > start)
        m_selStart = start;
    m_selStart = std::min(m_selStart, EndPosition());
}

int TextControlModel::EndPosition() const {
    int n = LineCount() - 1;
    for (const auto& l : m_lines) n += static_cast<int>(l.size());
    return n;
}

void TextControlModel::SetSelStart(int position) {
    m_selStart = std::clamp(position, 0, EndPosition());
    m_selLength = 0;
}

// Spliced into the lines where the selection stands, so that its cost follows the lines
// touched, not the whole text.
void TextControlModel::ReplaceSelection(const std::u32string& text) {
    const int start = std::clamp(m_selStart, 0, EndPosition());
    const int end = std::clamp(start + std::max(m_selLength, 0), start, EndPosition());
    const auto [firstLine, firstColumn] = Locate(start);
    const auto [lastLine, lastColumn] = Locate(end);
    const std::u32string after = m_lines[lastLine].substr(lastColumn);
    m_lines[firstLine].erase(firstColumn);
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(firstLine) + 1,
                  m_lines.begin() + static_cast<std::ptrdiff_t>(lastLine) + 1);
    std::vector<std::u32string> added;
    for (const char32_t c : text) {
        if (c == U'\n')
            added.emplace_back();
        else
            (added.empty() ? m_lines[firstLine] : added.back()) += c;
    }
    (added.empty() ? m_lines[firstLine] : added.back()) += after;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(firstLine) + 1, added.begin(),
                   added.end());
    m_selStart = start + static_cast<int>(text.size());
    m_selLength = 0;
}

std::pair<std::size_t, std::size_t> TextControlModel::Locate(int position) const {
    std::size_t line = 0;
    auto rest = static_cast<std::size_t>(std::max(position, 0));
    while (line + 1 < m_lines.size() && rest > m_lines[line].size()) {
        rest -= m_lines[line].size() + 1;
        ++line;
    }
    return {line, std::min(rest, m_lines[line].size())};
}

int TextControlModel::LineIndex(int line) const {
    if (line < 0) line = LineFromChar(m_selStart);
    int position = 0;
    for (int i = 0; i < line && i < LineCount(); ++i) position += LineLength(i) + 1;
    return position;
}

int TextControlModel::LineFromChar(int position) const {
    int start = 0;
    for (int i = 0; i < LineCount(); ++i) {
        const int next = start + LineLength(i) + 1;
        if (position < next) return i;
        start = next;
    }
    return LineCount() - 1;
}

void TextControlModel::Clear() {
    m_lines.assign(1, std::u32string{});
    m_selStart = m_selLength = 0;
}

std::u32string TextControlModel::Text() const {
    std::u32string all;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (i) all += U'\n';
        all += m_lines[i];
    }
    return all;
}

}  // namespace kvartix
