#include "engine/TerminalReceive.h"

#include <string>

#include "engine/CodePage.h"

namespace kvartix {
namespace {

constexpr std::uint8_t kBackspace = 8;
constexpr std::uint8_t kCr = 13;
constexpr std::uint8_t kLf = 10;

void AppendAtEnd(TerminalText& text, std::u32string& chunk) {
    text.SetSelStart(text.EndPosition());
    text.SetSelLength(0);
    text.ReplaceSelection(chunk);
    chunk.clear();
}

// Characters of the last line once the chunk is in: the column the next character takes.
int TailLength(const TerminalText& text, const std::u32string& chunk) {
    const auto lastBreak = chunk.rfind(U'\n');
    if (lastBreak != std::u32string::npos) return static_cast<int>(chunk.size() - lastBreak - 1);
    return text.LineLength(text.LineCount() - 1) + static_cast<int>(chunk.size());
}

}  // namespace

void TerminalText::Receive(const std::uint8_t* data, std::size_t count, LineBreakState& breaks) {
    InsertReceived(*this, data, count, breaks);
}

void TerminalText::DeleteFirstLines(int count) {
    for (int i = 0; i < count; ++i) DeleteLine(0);
}

void InsertReceived(TerminalText& text, const std::uint8_t* data, std::size_t count,
                    LineBreakState& breaks) {
    text.BeginUpdate();
    int caretLine = text.LineFromChar(text.LineIndex(-1));
    const bool atEnd = text.LineCount() - 1 <= caretLine;
    text.SetSelLength(0);
    std::u32string chunk;
    int tail = TailLength(text, chunk);
    const auto add = [&](char32_t c) {
        chunk += c;
        tail = c == U'\n' ? 0 : tail + 1;
        if (chunk.size() == kTerminalPiece) AppendAtEnd(text, chunk);
    };
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t c = data[i];
        const bool lfAfterCr = c == kLf && breaks.LastWasCr;
        breaks.LastWasCr = c == kCr;
        if (lfAfterCr) continue;
        if (c == kBackspace) {
            if (!chunk.empty()) {
                chunk.pop_back();
            } else if (const int line = atEnd ? text.LineCount() - 1 : caretLine,
                       length = text.LineLength(line);
                       length > 0) {
                // Following the end, the line received on: pieces already in may have
                // opened lines below the one the batch began on.
                text.SetSelStart(text.LineIndex(line) + length - 1);
                text.SetSelLength(1);
                text.ReplaceSelection({});
                text.SetSelStart(text.EndPosition());
            }
            tail = TailLength(text, chunk);
            continue;
        }
        const char32_t shown = c == kCr || c == kLf ? U'\n' : FromCp1251(c);
        if (shown != U'\n' && tail >= kTerminalMaxLineLength) add(U'\n');
        add(shown);
    }
    if (!chunk.empty()) AppendAtEnd(text, chunk);
    const int excess = text.LineCount() - kTerminalMaxLines;
    if (excess > 0) {
        text.DeleteFirstLines(excess);
        caretLine -= excess;
    }
    if (atEnd)
        text.ScrollLines(300);
    else
        text.SetSelStart(text.LineIndex(caretLine < 0 ? 0 : caretLine));
    text.EndUpdate();
}

}  // namespace kvartix
