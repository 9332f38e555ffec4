#pragma once
// A null-modem cable between two pseudo-terminals on the host whose far ends are serial ports
// of the virtual machine: what one side's UART sends reaches the other's RX, both ways, each at
// the line's rate. A relay that forwards at once would let a sender outrun its rate unseen.

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

namespace kvartix::rig {

// One direction of the cable: at most the characters the line's rate allows since the last
// look are taken from the sending side and given to the receiving one, flow characters as any
// other. Taken whether or not the receiving side can take them now: QEMU's USB serial adapter
// waits for room in its pseudo-terminal with the whole machine stopped, so that the other
// side's UART takes nothing meanwhile, and a relay that waited for it would never free the
// adapter. What the receiving side has not yet taken waits here.
struct CableLane {
    static constexpr std::size_t kMostWaiting = 1 << 20;  // beyond, the line stops

    CableLane(int fromFd, int toFd) : from(fromFd), to(toFd) {}

    int from, to;
    double credit = 0;
    std::vector<std::uint8_t> waiting;  // carried, not yet taken by the receiving side
    std::size_t head = 0;
    std::uint64_t carried = 0;
    std::size_t mostWaiting = 0;

    void Step(double gained, double charsPerSecond) {
        // While the line cannot go on it does not bank more than 20 ms: a wire does not catch
        // up in a burst.
        credit = std::min(credit + gained, charsPerSecond * 0.02 + 1);
        if (credit >= 1 && waiting.size() - head < kMostWaiting) {
            std::uint8_t buf[4096];
            const auto want = std::min(sizeof buf, static_cast<std::size_t>(credit));
            const ssize_t n = ::read(from, buf, want);
            // Time the line stood idle is not banked.
            credit = n == static_cast<ssize_t>(want) ? credit - static_cast<double>(n) : 0;
            if (n > 0) {
                waiting.insert(waiting.end(), buf, buf + n);
                carried += static_cast<std::uint64_t>(n);
            }
        }
        mostWaiting = std::max(mostWaiting, waiting.size() - head);
        if (head == waiting.size()) return;
        const ssize_t w = ::write(to, waiting.data() + head, waiting.size() - head);
        if (w > 0) head += static_cast<std::size_t>(w);
        if (head == waiting.size()) {
            waiting.clear();
            head = 0;
        } else if (head > 65536) {
            waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(head));
            head = 0;
        }
    }
};

// What went each way, and the most that waited for the receiving side at once.
struct CableCounts {
    std::atomic<std::uint64_t> carriedAB{0}, carriedBA{0};
    std::atomic<std::size_t> mostWaitingAB{0}, mostWaitingBA{0};
};

// Carries a to b and b to a until stopFd becomes readable; looks about every millisecond.
inline void RelayLikeACable(int a, int b, double charsPerSecond, int stopFd, CableCounts& counts) {
    CableLane ab{a, b}, ba{b, a};
    auto last = std::chrono::steady_clock::now();
    for (;;) {
        pollfd stop{stopFd, POLLIN, 0};
        if (::poll(&stop, 1, 1) > 0) return;
        const auto now = std::chrono::steady_clock::now();
        const double gained = charsPerSecond * std::chrono::duration<double>(now - last).count();
        last = now;
        ab.Step(gained, charsPerSecond);
        ba.Step(gained, charsPerSecond);
        counts.carriedAB = ab.carried;
        counts.carriedBA = ba.carried;
        counts.mostWaitingAB = ab.mostWaiting;
        counts.mostWaitingBA = ba.mostWaiting;
    }
}

}  // namespace kvartix::rig
