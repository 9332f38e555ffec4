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

}  // namespace kvartix
