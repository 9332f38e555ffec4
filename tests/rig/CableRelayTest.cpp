// The rig's null-modem cable between two pseudo-terminals: each way at the line's rate, and
// the sending side read even while the receiving side takes nothing.
#include <gtest/gtest.h>

#include <sys/eventfd.h>
#include <termios.h>

#include <thread>

#include "rig/CableRelay.h"
#include "testkit/Pty.h"

namespace kvartix::rig {
namespace {

using test::Bytes;
using test::PtyMaster;

// The host's side of a pseudo-terminal whose master is a guest's UART in QEMU: raw and without
// waiting, as kvartix-rig opens it.
struct HostSide {
    explicit HostSide(const PtyMaster& m)
        : fd(::open(m.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        termios t{};
        ::tcgetattr(fd, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    ~HostSide() { ::close(fd); }
    int fd;
};

struct Cable {
    Cable(int a, int b, double cps)
        : stop(eventfd(0, EFD_CLOEXEC)),
          thread([=, this] { RelayLikeACable(a, b, cps, stop, counts); }) {}
    ~Cable() {
        const std::uint64_t one = 1;
        (void)!::write(stop, &one, sizeof one);
        thread.join();
        ::close(stop);
    }
    CableCounts counts;
    int stop;
    std::thread thread;
};

Bytes Stream(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
    return b;
}

TEST(CableRelay, carries_each_way_byte_exact_flow_characters_included) {
    PtyMaster a, b;  // the two guest UARTs
    const HostSide hostA(a), hostB(b);
    Cable cable(hostA.fd, hostB.fd, 50000);
    Bytes ab = Stream(3000, 1);
    const Bytes ba = Stream(2000, 9);
    ab[100] = 0x13;
    ab[101] = 0x11;
    a.Send(ab);
    b.Send(ba);
    EXPECT_EQ(b.Receive(ab.size()), ab);
    EXPECT_EQ(a.Receive(ba.size()), ba);
    EXPECT_TRUE(b.Available().empty() && a.Available().empty()) << "nothing came back";
}

// A relay that forwarded at once would show a sender outrunning its rate as a clean line.
TEST(CableRelay, carries_no_faster_than_the_line) {
    PtyMaster a, b;
    const HostSide hostA(a), hostB(b);
    constexpr double kCps = 4000;
    const Bytes stream = Stream(2000, 3);
    a.Send(stream);
    const auto start = std::chrono::steady_clock::now();
    Cable cable(hostA.fd, hostB.fd, kCps);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const Bytes early = b.Available();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // 20 ms of the line may be banked at the start.
    EXPECT_LE(static_cast<double>(early.size()), kCps * (elapsed + 0.02) + 2);
    Bytes all = early;
    const Bytes rest = b.Receive(stream.size() - early.size());
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_EQ(all, stream);
}

// QEMU's USB serial adapter stops the whole machine until its pseudo-terminal takes what it
// sends; the other UART then takes nothing. The cable must go on reading the adapter.
TEST(CableRelay, reads_the_sending_side_while_the_receiving_side_takes_nothing) {
    PtyMaster a, b;
    const HostSide hostA(a), hostB(b);
    // Full: the kernel moves what it holds along a moment later, so until a round takes nothing.
    Bytes full;
    std::uint8_t chunk[4096] = {};
    for (std::size_t before = 1; before != full.size();) {
        before = full.size();
        for (ssize_t n; (n = ::write(hostB.fd, chunk, sizeof chunk)) > 0;)
            full.insert(full.end(), chunk, chunk + n);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(full.empty());
    Cable cable(hostA.fd, hostB.fd, 50000);
    const Bytes stream = Stream(1000, 5);
    a.Send(stream);
    EXPECT_TRUE(test::Eventually([&] { return cable.counts.carriedAB == stream.size(); }))
        << cable.counts.carriedAB;
    EXPECT_GE(cable.counts.mostWaitingAB.load(), stream.size() / 2) << "most waited here";
    Bytes got = b.Receive(full.size() + stream.size());
    ASSERT_EQ(got.size(), full.size() + stream.size());
    EXPECT_EQ(Bytes(got.begin() + static_cast<std::ptrdiff_t>(full.size()), got.end()), stream);
}

}  // namespace
}  // namespace kvartix::rig
