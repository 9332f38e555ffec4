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

void TextControlModel::ReplaceSelection(const std::u32string& text) {
    std::u32string all = Text();
    const auto start = static_cast<std::size_t>(m_selStart);
    const auto length = std::min(static_cast<std::size_t>(std::max(m_selLength, 0)), all.size() - start);
    all.replace(start, length, text);
    m_lines.assign(1, std::u32string{});
    for (const char32_t c : all) {
        if (c == U'\n')
            m_lines.emplace_back();
        else
            m_lines.back() += c;
    }
    m_selStart = static_cast<int>(start + text.size());
    m_selLength = 0;
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
