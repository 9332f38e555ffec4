#pragma once
// A null-modem cable between two pseudo-terminals on the host whose far ends are serial ports
// of the virtual machine: what one side's UART sends reaches the other's RX, both ways, each at
// the line's rate. A relay that forwards at once would let a sender outrun its rate unseen.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <vector>

namespace kvartix::rig {

// One direction of the cable: at most the characters the line's rate allows since the last look
// are taken from `from` and given to `to`, flow characters as any other.
struct CableLane {
    int from, to;
    double credit = 0;
    std::vector<std::uint8_t> back;  // taken, not yet accepted by `to`
    std::uint64_t carried = 0;

    void Step(double gained, double charsPerSecond) {
        // While `to` takes nothing the line does not bank more than 20 ms: a wire does not
        // catch up in a burst.
        credit = std::min(credit + gained, charsPerSecond * 0.02 + 1);
        if (back.empty() && credit >= 1) {
            std::uint8_t buf[4096];
            const auto want = std::min(sizeof buf, static_cast<std::size_t>(credit));
            const ssize_t n = ::read(from, buf, want);
            // Time the line stood idle is not banked either.
            credit = n == static_cast<ssize_t>(want) ? credit - static_cast<double>(n) : 0;
            if (n > 0) back.assign(buf, buf + n);
        }
        while (!back.empty()) {
            const ssize_t w = ::write(to, back.data(), back.size());
            if (w <= 0) break;
            carried += static_cast<std::uint64_t>(w);
            back.erase(back.begin(), back.begin() + w);
        }
    }
};

// Carries a to b and b to a until stopFd becomes readable; looks about every millisecond. The
// counts of what went each way are left in carriedAB and carriedBA.
inline void RelayLikeACable(int a, int b, double charsPerSecond, int stopFd,
                            std::atomic<std::uint64_t>& carriedAB,
                            std::atomic<std::uint64_t>& carriedBA) {
    CableLane ab{a, b, 0, {}, 0}, ba{b, a, 0, {}, 0};
    auto last = std::chrono::steady_clock::now();
    for (;;) {
        pollfd stop{stopFd, POLLIN, 0};
        if (::poll(&stop, 1, 1) > 0) return;
        const auto now = std::chrono::steady_clock::now();
        const double gained = charsPerSecond * std::chrono::duration<double>(now - last).count();
        last = now;
        ab.Step(gained, charsPerSecond);
        ba.Step(gained, charsPerSecond);
        carriedAB = ab.carried;
        carriedBA = ba.carried;
    }
}

}  // namespace kvartix::rig
