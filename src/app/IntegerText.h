#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvartix {

// Whole numbers as the program's text fields take them: optional leading blanks, then a
// sign and decimal digits, or "$" and hexadecimal digits; nothing may follow. Hexadecimal
// up to eight digits is read as a 32-bit two's complement value.
std::optional<std::int32_t> ParseIntegerText(std::string_view text);

// "'%s' is not a valid integer value", the runtime's conversion message.
std::string NotAnIntegerMessage(std::string_view text);

// A number the user may type: the text as it stands and its value, parsed once where it
// enters the program (a control, the settings file) and carried typed from there.
struct IntegerEntry {
    std::string Text;
    std::optional<std::int32_t> Value;  // none: the text is no whole number

    static IntegerEntry Typed(std::string text) {
        const auto value = ParseIntegerText(text);
        return {std::move(text), value};
    }
    static IntegerEntry Of(std::int32_t value, std::string text) { return {std::move(text), value}; }
    static IntegerEntry Of(std::int32_t value) { return Of(value, std::to_string(value)); }
    bool operator==(const IntegerEntry&) const = default;
};

}  // namespace kvartix
