#include "serial/loop/CablePath.h"

#include <cctype>

#include "serial/loop/LoopOptions.h"

namespace kvartix {
namespace {

constexpr std::string_view kPrefix = "CABLE";

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The parse, with what is wrong when it fails.
std::optional<CableEnd> ParseCableEnd(std::string_view path, std::string& problem) {
    if (!IsCablePath(path)) {
        problem = "not a cable end";
        return std::nullopt;
    }
    std::string_view rest = path.substr(kPrefix.size());
    CableEnd end;
    std::size_t digits = 0;
    while (digits < rest.size() && IsDigit(rest[digits])) ++digits;
    if (digits > 0) {
        int n = 0;
        for (std::size_t i = 0; i < digits && n <= kCables; ++i) n = n * 10 + (rest[i] - '0');
        if (n < 1 || n > kCables) {
            problem = "'" + std::string(path.substr(0, kPrefix.size() + digits)) +
                      "': the cable number is not one of 1.." + std::to_string(kCables);
            return std::nullopt;
        }
        end.Cable = n;
        rest.remove_prefix(digits);
    }
    const std::string_view letter = rest.empty() ? rest : rest.substr(1, rest.find(':', 1) - 1);
    if (rest.empty() || rest[0] != ':' || letter.size() != 1 ||
        (Upper(letter[0]) != 'A' && Upper(letter[0]) != 'B')) {
        problem = "the end is not A or B (CABLE:A, CABLE:B, CABLE2:A .. CABLE" +
                  std::to_string(kCables) + ":B)";
        return std::nullopt;
    }
    end.Side = Upper(letter[0]) == 'A' ? 0 : 1;
    rest.remove_prefix(2);
    if (!rest.empty()) end.Options = rest.substr(1);
    return end;
}

}  // namespace

bool IsCablePath(std::string_view path) {
    if (path.size() < kPrefix.size()) return false;
    for (std::size_t i = 0; i < kPrefix.size(); ++i)
        if (Upper(path[i]) != kPrefix[i]) return false;
    return path.size() == kPrefix.size() || path[kPrefix.size()] == ':' ||
           IsDigit(path[kPrefix.size()]);
}

std::optional<CableEnd> ParseCablePath(std::string_view path) {
    std::string problem;
    return ParseCableEnd(path, problem);
}

std::string CableEndName(int cable, int side) {
    return std::string(kPrefix) + (cable == 1 ? "" : std::to_string(cable)) + ":" +
           (side == 0 ? "A" : "B");
}

std::string CablePathProblem(std::string_view path) {
    std::string problem;
    const auto end = ParseCableEnd(path, problem);
    return end ? LoopOptionsProblem(end->Options) : problem;
}

std::string PlugPathProblem(std::string_view path) {
    if (IsLoopPath(path)) return path.size() > 4 ? LoopOptionsProblem(path.substr(5)) : "";
    if (IsCablePath(path)) return CablePathProblem(path);
    return {};
}

}  // namespace kvartix
