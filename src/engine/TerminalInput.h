#pragma once

#include <string>

namespace kvartix {

// What Enter sends.
enum class LineEnd { Cr = 0, Lf = 1, CrLf = 2 };

std::string LineEndBytes(LineEnd end);

// Pasted text as the bytes to queue: CP1251, each line break (CR LF, CR or LF) as the line end.
// Refused holds each character outside CP1251 once; then nothing is to be sent.
struct PasteBytes {
    std::string Bytes;
    std::u32string Refused;
};

PasteBytes ToPasteBytes(const std::u32string& text, LineEnd end);

}  // namespace kvartix
