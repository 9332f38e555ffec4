#pragma once

#include <cstdint>

#include "serial/LineSettings.h"

namespace kvartix {

inline constexpr std::int32_t kMaxQueue = 60000;

// Per-session values derived from the line settings at every start.
struct SessionParameters {
    std::uint16_t DataMask = 0xFF;
    double BitsPerChar = 10.0;
    std::int32_t CharsPerTick = 1152;
    std::int32_t QueueSize = kMaxQueue;
    std::int32_t PacketSize = 512;
    std::int32_t PacketMask = 511;
    std::int32_t TxStartPosition = 0;
};

std::uint16_t DataMaskFor(int dataBits);
double BitsPerCharFor(int dataBits, int parity, int stopBits);
// Round to nearest, exact halves to the even neighbour.
std::int32_t RoundHalfEven(double value);
SessionParameters DeriveSessionParameters(const LineSettings& s);

}  // namespace kvartix
