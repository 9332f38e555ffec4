#include "app/IntegerText.h"

#include <cctype>

namespace kvartix {

std::optional<std::int32_t> ParseIntegerText(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && t[i] == ' ') ++i;
    if (i == t.size()) return std::nullopt;
    if (t[i] == '$') {
        std::uint64_t v = 0;
        std::size_t digits = 0;
        for (++i; i < t.size(); ++i, ++digits) {
            const auto c = static_cast<unsigned char>(t[i]);
            if (!std::isxdigit(c)) return std::nullopt;
            v = v * 16 + static_cast<unsigned>(std::isdigit(c) ? c - '0' : std::toupper(c) - 'A' + 10);
            if (v > 0xFFFFFFFFu) return std::nullopt;
        }
        if (digits == 0) return std::nullopt;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    }
    bool negative = false;
    if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
    if (i == t.size()) return std::nullopt;
    std::int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(t[i]))) return std::nullopt;
        v = v * 10 + (t[i] - '0');
        if (v > std::int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

std::string NotAnIntegerMessage(std::string_view text) {
    return "'" + std::string(text) + "' is not a valid integer value";
}

}  // namespace kvartix
