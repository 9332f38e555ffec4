#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "serial/Clock.h"
#include "serial/loop/PlugEnd.h"

namespace kvartix {

// The wire of a built-in plug: the loopback plug is one end wired to itself, a null-modem
// cable two ends crossed (each one's TX to the other's RX, RTS to CTS, DTR to DSR and DCD).
// No thread: every call on an end first plays the whole wire from the last call up to now,
// one character per sender's frame time, both directions in the order their characters
// arrive, so that a flow character or a hold takes effect at the moment it would on a line.
// Whether an end may send is asked anew at every character that arrives: a hold that comes
// while the held end has a character on its way keeps that character back until the hold is
// gone, a frame earlier than a UART would stop. No lock either: both ends of a cable
// are called from one thread, as the runner and the tests do.
class PlugWire {
  public:
    static std::shared_ptr<PlugWire> Loopback(const Clock& clock) {
        return std::make_shared<PlugWire>(clock, 1);
    }
    static std::shared_ptr<PlugWire> Cable(const Clock& clock) {
        return std::make_shared<PlugWire>(clock, 2);
    }
    PlugWire(const Clock& clock, int sides);

    bool IsOpen(int side) const { return m_end[side] != nullptr; }
    bool AnyOpen() const { return m_end[0] || m_end[1]; }
    // The end plugged in at side (0 or 1), which must be free; it stays the caller's.
    void Attach(int side, PlugEnd& end);
    void Detach(int side);
    // What side's TX is wired to; none while that end is not plugged in.
    PlugEnd* Far(int side) const { return m_end[m_sides == 1 ? 0 : 1 - side]; }

    void Advance();

  private:
    const Clock& m_clock;
    // Times relative to the wire's making: absolute microseconds in a double would round
    // every frame time.
    const std::int64_t m_originUs;
    const int m_sides;
    std::array<PlugEnd*, 2> m_end{};
};

}  // namespace kvartix
