#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvartix {

// The built-in null-modem cables: "CABLE:A" and "CABLE:B" are the two ends of cable 1,
// "CABLEn:A" and "CABLEn:B" those of cable n (2..16; "CABLE1" is cable 1 too), any letter
// case, with the loopback plug's fault options after a further colon for what that end
// receives ("CABLE:A:corrupt=1e-4,seed=7").
inline constexpr int kCables = 16;

struct CableEnd {
    int Cable = 1;             // 1..kCables
    int Side = 0;              // 0: A, 1: B
    std::string_view Options;  // the fault options as typed
};

// True when the path is meant for a cable end: "CABLE" then nothing, a digit or ':'.
// Such a path never names a device, even when it is wrong.
bool IsCablePath(std::string_view path);

// nullopt for a path that is not a well-formed cable end (options not looked at).
std::optional<CableEnd> ParseCablePath(std::string_view path);

// The end as the program names it in messages: "CABLE:B", "CABLE2:A".
std::string CableEndName(int cable, int side);

// What is wrong with a cable end path, options included; empty when it opens.
std::string CablePathProblem(std::string_view path);

// The same for either built-in plug (LOOP or a cable end); empty for any other name.
std::string PlugPathProblem(std::string_view path);

}  // namespace kvartix
