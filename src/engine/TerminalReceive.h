#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/TerminalText.h"

namespace kvartix {

inline constexpr int kTerminalMaxLines = 200;
inline constexpr std::size_t kTerminalPiece = 200;
// A line never grows past this: a stream without line breaks goes on on a new line, which
// counts against the 200, so the text holds at most 200 x 256 characters whatever arrives.
inline constexpr int kTerminalMaxLineLength = 256;

// Line breaks as a terminal shows them: CR LF is one, a lone CR or LF is one. The state
// carries a CR at the end of one batch over to the next.
struct LineBreakState {
    bool LastWasCr = false;
};

// Puts one cycle's received bytes into the terminal text: backspaces edit, pieces of at most
// 200 characters go in at the true end, a line longer than 256 characters goes on on the
// next, the text keeps its last 200 lines, and the view follows the end unless the caret sits
// on an earlier line.
void InsertReceived(TerminalText& text, const std::uint8_t* data, std::size_t count,
                    LineBreakState& breaks);

}  // namespace kvartix
