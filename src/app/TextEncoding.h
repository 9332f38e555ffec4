#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvartix {

// How a settings file's bytes stand for text. The program works in UTF-8; a file keeps its own
// encoding, decided once when it is read.
enum class TextEncoding { Utf8, Windows1251, Utf16LE, Utf16BE };

// A file's bytes as UTF-8 text.
struct DecodedText {
    TextEncoding Encoding = TextEncoding::Utf8;
    // The bytes of the byte-order mark the file begins with, if any: kept apart from the text,
    // so that the file keeps it whatever becomes of its first line.
    std::string ByteOrderMark;
    std::string Utf8;  // the rest, always valid
};

// A byte-order mark of UTF-16 (FF FE little-endian, FE FF big-endian) and valid UTF-16 after
// it: UTF-16. Otherwise, past a UTF-8 byte-order mark if there is one, UTF-8 if the whole text
// is valid UTF-8, else Windows-1251 (what Windows programs write), which every byte sequence
// is. Text that EncodeText wrote decodes again in the encoding it was written in when that
// one is given as `previous` (after a save took out the only bytes that were not UTF-8, the
// rest could pass for UTF-8).
DecodedText DecodeText(std::string_view bytes,
                       std::optional<TextEncoding> previous = std::nullopt);

// A byte-order mark in front of a line of text decoded in the encoding (editors put one in
// front of a file, and a file's lines may be put together from several): U+FEFF, or in
// Windows-1251 the three characters of the UTF-8 mark's bytes.
std::string_view ByteOrderMarkText(TextEncoding encoding);

// Valid UTF-8 text in the encoding, byte-order mark not included. A character the encoding
// cannot carry becomes "?" (Representable makes that visible before).
std::string EncodeText(std::string_view utf8, TextEncoding encoding);

// Decoding gives back exactly what was encoded: the text as valid UTF-8 (a byte that does not
// belong to a character becomes U+FFFD) holding only characters the encoding carries (others
// become "?").
std::string Representable(std::string_view text, TextEncoding encoding);

bool IsValidUtf8(std::string_view text);

}  // namespace kvartix
