#include "serial/SessionParameters.h"

#include <algorithm>
#include <cmath>

namespace kvartix {

std::uint16_t DataMaskFor(int dataBits) {
    return static_cast<std::uint16_t>(0xFF >> (8 - dataBits));
}

double BitsPerCharFor(int dataBits, int parity, int stopBits) {
    static constexpr double kStop[] = {1.0, 1.5, 2.0};
    return 1.0 + dataBits + (parity != NoParity ? 1.0 : 0.0) + kStop[std::clamp(stopBits, 0, 2)];
}

std::int32_t RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double diff = value - floor;
    double r = floor;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0.0)) r = floor + 1.0;
    return static_cast<std::int32_t>(r);
}

SessionParameters DeriveSessionParameters(const LineSettings& s) {
    SessionParameters p;
    p.DataMask = DataMaskFor(s.DataBits);
    p.BitsPerChar = BitsPerCharFor(s.DataBits, s.Parity, s.StopBits);
    // Clamped before rounding so that no bit rate can overflow the integer; a bit rate below 1
    // is refused at the configuration step, but its amounts must still be safe to hold.
    const double rate = std::max(s.BitRate, 0);
    p.CharsPerTick = RoundHalfEven(std::min(rate / p.BitsPerChar / 10.0, double{kMaxQueue}));
    // A driver refuses an empty queue; the slowest lines still get one character.
    p.QueueSize =
        s.RandomFlow ? std::max(1, RoundHalfEven(std::min(p.CharsPerTick * 1.5, double{kMaxQueue})))
                     : kMaxQueue;
    p.PacketSize = s.PacketSize;
    // A single fixed symbol is addressed through a 2048-byte period.
    p.PacketMask = s.PacketSize == 1 ? 2047 : s.PacketSize - 1;
    p.TxStartPosition = s.XonXoff ? -1 : 0;
    return p;
}

}  // namespace kvartix
