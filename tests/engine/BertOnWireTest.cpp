// Sessions over a pseudo-terminal whose far end carries characters at the line's real rate
// and wires TX to RX, as an adapter with a loopback plug would.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/SessionRig.h"

namespace kvartix {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST(BertOnWire, xon_xoff_at_115200_is_clean_and_keeps_the_line_busy_at_either_data_speed) {
    for (const bool random : {false, true}) {
        SCOPED_TRACE(random ? "random data speed" : "maximum data speed");
        test::PtyMaster master;
        test::SessionRig rig;
        LineSettings s;  // 115200 8-N-1
        s.Port = master.SlavePath();
        s.XonXoff = true;
        s.RandomFlow = random;
        test::PtyWire wire(master, 11520);
        ASSERT_TRUE(rig.session.Start(TestMode::Bert, s));
        // The line's use is measured once the first characters are back.
        std::int64_t first = 0;
        std::int64_t firstReceived = 0;
        std::int64_t last = 0;
        auto next = std::chrono::steady_clock::now();
        for (int tick = 0; tick <= 25; ++tick) {
            rig.session.Tick();
            ASSERT_TRUE(rig.session.Running());
            last = rig.clock.NowUs();
            if (tick == 5) {
                first = last;
                firstReceived = rig.engine.Counters().Received;
            }
            next += std::chrono::milliseconds(100);
            std::this_thread::sleep_until(next);
        }
        EXPECT_EQ(rig.engine.Counters().Errors, 0);
        EXPECT_EQ(rig.engine.DriverErrors().OtherErrors, 0) << "the receive queue overflowed";
        EXPECT_EQ(rig.engine.DriverErrors().OverrunErrors, 0);
        const double capacity = (last - first) / 1e6 * 11520;
        // The I/O thread tops up a 6 ms lead when 3 ms of it is left: a sanitizer's
        // slowdown misses that on a loaded machine, and says nothing of the port.
        // bench_capacity measures it.
        if (!random && !kSanitized) {
            EXPECT_GE(static_cast<double>(rig.engine.Counters().Received - firstReceived),
                      0.99 * capacity);
        }
        rig.session.StopSession();
    }
}

}  // namespace
}  // namespace kvartix
