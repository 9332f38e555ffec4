#include "app/LinePattern.h"

#include <cctype>

namespace kvartix {
namespace {

struct Names {
    LinePattern Pattern;
    const char* Name;
    const char* Short;
};

// The second 2^20-1 sequence is the quasi-random signal source of O.150 clause 5.5.
// Short names fit the packet-size box: its 42-pixel field clips "PRBS15", not "prbs15".
constexpr Names kNames[] = {
    {LinePattern::Packets, "packets", "packets"}, {LinePattern::Prbs9, "prbs9", "prbs9"},
    {LinePattern::Prbs11, "prbs11", "prbs11"},    {LinePattern::Prbs15, "prbs15", "prbs15"},
    {LinePattern::Prbs20, "prbs20", "prbs20"},    {LinePattern::Qrss20, "prbs20-qrss", "qrss20"},
    {LinePattern::Prbs23, "prbs23", "prbs23"},    {LinePattern::Prbs31, "prbs31", "prbs31"},
    {LinePattern::Zeros, "zeros", "zeros"},       {LinePattern::Ones, "ones", "ones"},
    {LinePattern::Alt, "alt", "alt55"},
};

const Names& Of(LinePattern p) {
    return kNames[static_cast<int>(p)];
}

}  // namespace

const char* PatternName(LinePattern pattern) {
    return Of(pattern).Name;
}

const char* PatternShortName(LinePattern pattern) {
    return Of(pattern).Short;
}

std::optional<LinePattern> PatternNamed(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const Names& n : kNames)
        if (lower == n.Name) return n.Pattern;
    return std::nullopt;
}

}  // namespace kvartix
