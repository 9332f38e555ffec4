// A loopback session against a far end that sends at the line's rate and obeys Xon/Xoff.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/SessionRig.h"

namespace kvartix {
namespace {

struct WireCase {
    int Rate;
    bool Random;
};

class LoopbackOnWire : public ::testing::TestWithParam<WireCase> {};

// Random data speed reads about half of what arrives, so the echo's own Xoff must go out;
// the echo still never waits on itself.
TEST_P(LoopbackOnWire, xon_xoff_echo_is_byte_exact_and_every_xoff_is_followed_by_an_xon) {
    const WireCase c = GetParam();
    const double charsPerSecond = c.Rate / 10.0;
    test::PtyMaster master;
    test::SessionRig rig;
    LineSettings s;
    s.Port = master.SlavePath();
    s.BitRate = c.Rate;
    s.XonXoff = true;
    s.RandomFlow = c.Random;
    ASSERT_TRUE(rig.session.Start(TestMode::Loopback, s));
    rig.session.Tick();  // the dropped first read, before the far end starts
    ASSERT_EQ(master.Receive(1), test::Bytes{kXonChar});
    // Random data speed echoes about half the line: half the stream fills the same time.
    const double seconds = c.Random ? 4.5 : 9;
    test::PtySource source(master, charsPerSecond,
                           static_cast<std::size_t>(charsPerSecond * seconds), true);
    auto next = std::chrono::steady_clock::now();
    const auto end = next + std::chrono::seconds(15);
    while (next < end && source.BackCount() < source.Stream().size()) {
        rig.session.Tick();
        ASSERT_TRUE(rig.session.Running());
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    source.Stop();
    EXPECT_TRUE(source.Back() == source.Stream())
        << "echoed " << source.Back().size() << " of " << source.Stream().size();
    EXPECT_FALSE(source.HeldAtEnd()) << source.Xoffs() << " Xoff, " << source.Xons() << " Xon";
    if (c.Random) {
        EXPECT_GT(source.Xoffs(), 0u) << "the echo's queue never filled";
    }
    EXPECT_EQ(rig.engine.DriverErrors().OtherErrors, 0);
    EXPECT_TRUE(rig.box.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Rates, LoopbackOnWire,
                         ::testing::Values(WireCase{9600, false}, WireCase{9600, true},
                                           WireCase{115200, false}, WireCase{115200, true},
                                           WireCase{460800, false}, WireCase{460800, true}),
                         [](const auto& info) {
                             return std::to_string(info.param.Rate) +
                                    (info.param.Random ? "_random" : "_maximum");
                         });

}  // namespace
}  // namespace kvartix
