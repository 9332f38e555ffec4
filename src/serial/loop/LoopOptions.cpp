#include "serial/loop/LoopOptions.h"

#include <cctype>
#include <charconv>
#include <string>

namespace kvartix {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<double> ParseProbability(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const std::string copy(text);
    std::size_t used = 0;
    double v = 0;
    try {
        v = std::stod(copy, &used);
    } catch (...) {
        return std::nullopt;
    }
    if (used != copy.size() || !(v >= 0.0 && v <= 1.0)) return std::nullopt;
    return v;
}

std::optional<LoopImpairments> ParseImpairments(std::string_view options, std::string& problem) {
    LoopImpairments result;
    while (!options.empty()) {
        const auto comma = options.find(',');
        const std::string_view item = options.substr(0, comma);
        options = comma == std::string_view::npos ? std::string_view{} : options.substr(comma + 1);
        const std::string quoted = "'" + std::string(item) + "'";
        const auto eq = item.find('=');
        if (eq == std::string_view::npos) {
            problem = quoted + " is not key=value";
            return std::nullopt;
        }
        const std::string_view key = item.substr(0, eq);
        const std::string_view value = item.substr(eq + 1);
        if (key == "seed" || key == "flowcorrupt") {
            std::uint64_t n = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (ec != std::errc{} || end != value.data() + value.size() || value.empty() ||
                (key == "flowcorrupt" && n == 0)) {
                problem = quoted + (key == "seed" ? ": the seed is not a whole number"
                                                  : ": the count is not a whole number from 1");
                return std::nullopt;
            }
            (key == "seed" ? result.Seed.emplace() : result.FlowCorrupt) = n;
            continue;
        }
        double* field = key == "corrupt"  ? &result.Corrupt
                        : key == "drop"   ? &result.Drop
                        : key == "insert" ? &result.Insert
                                          : nullptr;
        if (!field) {
            problem = quoted + ": the option is not one of corrupt|drop|insert|seed|flowcorrupt";
            return std::nullopt;
        }
        const auto p = ParseProbability(value);
        if (!p) {
            problem = quoted + ": the probability is not a number in 0..1";
            return std::nullopt;
        }
        *field = *p;
    }
    return result;
}

}  // namespace

bool IsLoopPath(std::string_view path) {
    return EqualsIgnoringCase(path.substr(0, 4), "LOOP") && (path.size() == 4 || path[4] == ':');
}

std::optional<LoopImpairments> ParseLoopOptions(std::string_view options) {
    std::string problem;
    return ParseImpairments(options, problem);
}

std::string LoopOptionsProblem(std::string_view options) {
    std::string problem;
    ParseImpairments(options, problem);
    return problem;
}

}  // namespace kvartix
