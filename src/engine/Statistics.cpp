#include "engine/Statistics.h"

#include <cstdio>
#include <cstdlib>

namespace kvartix {
namespace {

std::string WithPointBeforeLastDigit(std::int64_t q) {
    std::string s = std::to_string(q);
    if (s.size() < 2) s.insert(0, "0");
    s.insert(s.size() - 1, ".");
    return s;
}

}  // namespace

std::string ReceivedText(std::int64_t r) {
    if (r < 10000) return std::to_string(r) + " symb";
    if (r < 1000000) return WithPointBeforeLastDigit(r / 100) + " Ksymb";
    return WithPointBeforeLastDigit(r / 100000) + " Msymb";
}

std::string CoefficientText(std::int64_t errors, std::int64_t received, char decimalSeparator) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1E", static_cast<double>(errors) / static_cast<double>(received));
    std::string s = buf;
    if (const auto dot = s.find('.'); dot != std::string::npos) s[dot] = decimalSeparator;
    return s;
}

std::string ElapsedText(std::int64_t ms) {
    const std::int64_t totalSeconds = ms / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld",
                  static_cast<long long>(totalSeconds / 3600),
                  static_cast<long long>(totalSeconds / 60 % 60),
                  static_cast<long long>(totalSeconds % 60));
    return buf;
}

std::int64_t CharRate(std::int64_t received, std::int64_t elapsedMs) {
    const std::int64_t tenths = elapsedMs / 100;
    return tenths == 0 ? 0 : received * 10 / tenths;
}

}  // namespace kvartix
