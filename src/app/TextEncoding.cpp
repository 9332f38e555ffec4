#include "app/TextEncoding.h"

#include "app/CodePage.h"

namespace kvartix {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The character that begins at text[at], moving at past it; nullopt, at unchanged, where no
// valid character begins (overlong forms and surrogates are not valid).
std::optional<char32_t> NextChar(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    std::size_t more;
    char32_t c, least;
    if (lead >= 0xC2 && lead <= 0xDF)
        more = 1, c = lead & 0x1Fu, least = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        more = 2, c = lead & 0x0Fu, least = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        more = 3, c = lead & 0x07u, least = 0x10000;
    else
        return std::nullopt;
    if (text.size() - at <= more) return std::nullopt;
    for (std::size_t k = 1; k <= more; ++k) {
        const auto b = static_cast<unsigned char>(text[at + k]);
        if ((b & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (b & 0x3Fu);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    at += more + 1;
    return c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUnit(std::string& out, char32_t unit, bool bigEndian) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
}

// Whole UTF-16 only: an odd byte or a surrogate without its partner is not.
std::optional<std::string> FromUtf16(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? (char32_t{a} << 8) | b : (char32_t{b} << 8) | a;
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t c = unit(i);
        if (c >= 0xDC00 && c <= 0xDFFF) return std::nullopt;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == units) return std::nullopt;
            const char32_t low = unit(++i);
            if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string FromCp1251Bytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char b : bytes) AppendUtf8(out, FromCp1251(static_cast<std::uint8_t>(b)));
    return out;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80)
            ++at;  // most of a settings file
        else if (!NextChar(text, at))
            return false;
    }
    return true;
}

DecodedText DecodeText(std::string_view bytes, std::optional<TextEncoding> previous) {
    const bool byteRules = previous == TextEncoding::Windows1251;
    if (!byteRules && (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))) {
        const bool bigEndian = bytes.front() == '\xFE';
        if (auto text = FromUtf16(bytes.substr(2), bigEndian))
            return {bigEndian ? TextEncoding::Utf16BE : TextEncoding::Utf16LE,
                    std::string(bytes.substr(0, 2)), std::move(*text)};
    }
    DecodedText out;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        out.ByteOrderMark = bytes.substr(0, 3);
        bytes.remove_prefix(3);
    }
    if (!byteRules && IsValidUtf8(bytes)) {
        out.Encoding = TextEncoding::Utf8;
        out.Utf8 = bytes;
    } else {
        out.Encoding = TextEncoding::Windows1251;
        out.Utf8 = FromCp1251Bytes(bytes);
    }
    return out;
}

std::string_view ByteOrderMarkText(TextEncoding encoding) {
    // "п»ї"
    return encoding == TextEncoding::Windows1251 ? "\xD0\xBF\xC2\xBB\xD1\x97" : "\xEF\xBB\xBF";
}

std::string EncodeText(std::string_view utf8, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) return std::string(utf8);
    std::string out;
    out.reserve(encoding == TextEncoding::Windows1251 ? utf8.size() : 2 * utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const auto next = NextChar(utf8, at);
        if (!next) ++at;  // not from this program, which writes valid text only
        const char32_t c = next.value_or(U'?');
        switch (encoding) {
            case TextEncoding::Windows1251: {
                std::uint8_t byte = '?';
                ToCp1251(c, byte);
                out += static_cast<char>(byte);
                break;
            }
            case TextEncoding::Utf16LE:
            case TextEncoding::Utf16BE: {
                const bool bigEndian = encoding == TextEncoding::Utf16BE;
                if (c < 0x10000) {
                    AppendUnit(out, c, bigEndian);
                } else {
                    AppendUnit(out, 0xD800 + ((c - 0x10000) >> 10), bigEndian);
                    AppendUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), bigEndian);
                }
                break;
            }
            case TextEncoding::Utf8:
                break;
        }
    }
    return out;
}

std::string Representable(std::string_view text, TextEncoding encoding) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto c = NextChar(text, at);
        if (!c) ++at;  // a byte that begins no character
        char32_t shown = c.value_or(kReplacement);
        std::uint8_t byte;
        if (encoding == TextEncoding::Windows1251 && !ToCp1251(shown, byte)) shown = U'?';
        AppendUtf8(out, shown);
    }
    return out;
}

}  // namespace kvartix
