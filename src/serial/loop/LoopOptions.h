#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvartix {

// Line faults the loopback plug injects, as probabilities per character.
struct LoopImpairments {
    double Corrupt = 0.0;
    double Drop = 0.0;
    double Insert = 0.0;
    std::optional<std::uint64_t> Seed;  // none: a different run every time
    // The n-th flow character the plug sends (an Xon or Xoff of its own) arrives corrupted,
    // so that a lost Xon can be tested without chance; 0: none.
    std::uint64_t FlowCorrupt = 0;
};

// True when the device path names the built-in loopback plug ("LOOP" or "LOOP:options").
bool IsLoopPath(std::string_view path);

// Parses "corrupt=1e-4,drop=1e-5,insert=0,seed=7,flowcorrupt=2" (any subset, any order).
// nullopt for an unknown key, a value that is not a number or a probability outside 0..1.
std::optional<LoopImpairments> ParseLoopOptions(std::string_view options);

// What is wrong with the options, naming the first bad one; empty when they parse.
std::string LoopOptionsProblem(std::string_view options);

}  // namespace kvartix
