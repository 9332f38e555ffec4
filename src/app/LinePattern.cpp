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
constexpr Names kNames[] = {
    {LinePattern::Packets, "packets", "packets"}, {LinePattern::Prbs9, "prbs9", "PRBS9"},
    {LinePattern::Prbs11, "prbs11", "PRBS11"},    {LinePattern::Prbs15, "prbs15", "PRBS15"},
    {LinePattern::Prbs20, "prbs20", "PRBS20"},    {LinePattern::Qrss20, "prbs20-qrss", "QRSS20"},
    {LinePattern::Prbs23, "prbs23", "PRBS23"},    {LinePattern::Prbs31, "prbs31", "PRBS31"},
    {LinePattern::Zeros, "zeros", "ZEROS"},       {LinePattern::Ones, "ones", "ONES"},
    {LinePattern::Alt, "alt", "ALT55"},
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
