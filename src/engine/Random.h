#pragma once

#include <cstdint>

namespace kvartix {

// The program's linear congruential generator, shared by the pattern and the random pacing.
struct Random {
    std::uint32_t RandomSeed = 0;

    // An integer in 0..n-1 (0 when n is 0); advances the state.
    std::int32_t RandomBelow(std::int32_t n) {
        RandomSeed = RandomSeed * 134775813u + 1u;
        return static_cast<std::int32_t>((std::uint64_t{RandomSeed} * static_cast<std::uint32_t>(n)) >> 32);
    }
};

}  // namespace kvartix
