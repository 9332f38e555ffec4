#pragma once

#include <array>
#include <optional>
#include <string>

namespace kvartix {

// What a BERT sends: the program's own packets, or one of the standard test patterns the
// line's far end may check with its own tester.
enum class LinePattern {
    Packets,
    Prbs9,
    Prbs11,
    Prbs15,
    Prbs20,
    Qrss20,
    Prbs23,
    Prbs31,
    Zeros,
    Ones,
    Alt
};

// Every pattern but the packets, in the order the lists show them.
inline constexpr std::array<LinePattern, 10> kTestPatterns{
    LinePattern::Prbs9,  LinePattern::Prbs11, LinePattern::Prbs15, LinePattern::Prbs20,
    LinePattern::Qrss20, LinePattern::Prbs23, LinePattern::Prbs31, LinePattern::Zeros,
    LinePattern::Ones,   LinePattern::Alt};

// "prbs15": the option's and the settings file's name; "packets" for the packets.
const char* PatternName(LinePattern pattern);
// "prbs15", "qrss20": short enough for the packet-size box.
const char* PatternShortName(LinePattern pattern);
// By PatternName, letter case ignored; none for a name no pattern has.
std::optional<LinePattern> PatternNamed(const std::string& name);

}  // namespace kvartix
