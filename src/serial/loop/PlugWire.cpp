#include "serial/loop/PlugWire.h"

namespace kvartix {

PlugWire::PlugWire(const Clock& clock, int sides)
    : m_clock(clock), m_originUs(clock.NowUs()), m_sides(sides) {}

void PlugWire::Attach(int side, PlugEnd& end) {
    Advance();
    end.IdleUntil(static_cast<double>(m_clock.NowUs() - m_originUs));
    m_end[side] = &end;
}

void PlugWire::Detach(int side) {
    Advance();
    m_end[side] = nullptr;
}

// The character that arrives first goes first; a line with nothing to send waits up to that
// moment, since what arrives may release it (an Xon, RTS rising).
void PlugWire::Advance() {
    const auto now = static_cast<double>(m_clock.NowUs() - m_originUs);
    for (;;) {
        int next = -1;
        double at = now;
        std::array<bool, 2> sending{};
        for (int side = 0; side < m_sides; ++side) {
            PlugEnd* end = m_end[side];
            sending[side] = end && end->HasToSend(Far(side));
            if (!sending[side]) continue;
            const double through = end->LineFreeUs() + end->FrameUs();
            if (through <= at && (next < 0 || through < at)) {
                next = side;
                at = through;
            }
        }
        for (int side = 0; side < m_sides; ++side)
            if (m_end[side] && !sending[side]) m_end[side]->IdleUntil(at);
        if (next < 0) return;
        m_end[next]->SendNext(at, Far(next));
    }
}

}  // namespace kvartix
