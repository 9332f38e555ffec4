#pragma once

#include <cstdint>
#include <string>

namespace kvartix {

// The statistics cells under the header strip.
enum class StatCell { Received, CharRate, BitRate, Time, Errors, Coefficient };

// Received characters: symb below 10000, then Ksymb and Msymb with one decimal, cut not rounded.
std::string ReceivedText(std::int64_t received);
// errors / received with two significant digits and a signed exponent of at least two digits.
std::string CoefficientText(std::int64_t errors, std::int64_t received, char decimalSeparator);
// Hours, minutes and seconds; hours go on past 24.
std::string ElapsedText(std::int64_t elapsedMs);
// Average characters per second over whole tenths of a second; 0 before the first tenth.
std::int64_t CharRate(std::int64_t received, std::int64_t elapsedMs);

}  // namespace kvartix
