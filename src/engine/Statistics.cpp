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
    if (errors <= 0 || received <= 0) return std::string("0") + decimalSeparator + "0E+00";
    // Two significant digits in exact integers, half away from zero as a person rounds them;
    // no C library formatting, whose separator follows the process locale.
    __extension__ typedef unsigned __int128 Wide;
    Wide num = static_cast<Wide>(errors);
    Wide den = static_cast<Wide>(received);
    int exponent = 1;  // of the first digit once num / den lies in [10, 100)
    while (num < 10 * den) {
        num *= 10;
        --exponent;
    }
    while (num >= 100 * den) {
        den *= 10;
        ++exponent;
    }
    auto digits = static_cast<int>(num / den);
    if (2 * (num % den) >= den) ++digits;
    if (digits == 100) {
        digits = 10;
        ++exponent;
    }
    std::string s{static_cast<char>('0' + digits / 10), decimalSeparator,
                  static_cast<char>('0' + digits % 10), 'E', exponent < 0 ? '-' : '+'};
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) s += '0';
    return s + std::to_string(magnitude);
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
