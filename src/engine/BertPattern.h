#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/Random.h"

namespace kvartix {

inline constexpr std::int32_t kPatternBody = 65000;
inline constexpr std::uint8_t kStartCode0 = 18;
inline constexpr std::uint8_t kStartCode1 = 7;

// The transmit pattern: an Xon prefix at position -1 followed by the packet repeated from 0.
class BertPattern {
public:
    BertPattern() : m_bytes(std::make_unique<std::array<std::uint8_t, kPatternBody + 1>>()) {}

    // Position -1 is the prefix; a transmit of up to 60000 bytes from a position of at most
    // 2047 stays inside the filled part.
    const std::uint8_t* At(std::int32_t position) const { return m_bytes->data() + 1 + position; }
    std::uint8_t* At(std::int32_t position) { return m_bytes->data() + 1 + position; }
    const std::uint8_t* Body() const { return At(0); }

private:
    std::unique_ptr<std::array<std::uint8_t, kPatternBody + 1>> m_bytes;
};

// Rebuilds the pattern from the fixed seed. For packet size 1 the body is the symbol,
// masked; otherwise every packet is the start code 18, 7 and draws that avoid 17, 19 and a
// 7 right after 18.
void BuildBertPattern(BertPattern& pattern, std::int32_t packetSize, std::uint16_t dataMask,
                      std::uint8_t symbol, Random& random);

}  // namespace kvartix
