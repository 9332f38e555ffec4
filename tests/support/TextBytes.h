#pragma once

#include <string>
#include <string_view>

namespace kvartix::test {

// UTF-16 bytes of a text, with its byte-order mark.
inline std::string Utf16(std::u16string_view text, bool bigEndian = false) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

// "Курьер Моно" as a Windows program writes it, in Windows-1251.
inline const std::string kCourierCp1251 = "\xCA\xF3\xF0\xFC\xE5\xF0 \xCC\xEE\xED\xEE";

}  // namespace kvartix::test
