// A test pattern over a pseudo-terminal whose far end carries it back at the line's rate.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/SessionRig.h"

namespace kvartix {
namespace {

// A pseudo-terminal takes 8 data bits only; LOOP runs the narrower widths.
TEST(PatternOnWire, a_paced_loop_carries_the_pattern_without_a_bit_error) {
    for (const auto& [pattern, dataBits] :
         {std::pair{LinePattern::Prbs15, 8}, {LinePattern::Prbs23, 8}, {LinePattern::Qrss20, 8}}) {
        SCOPED_TRACE(std::string(PatternName(pattern)) + ", " + std::to_string(dataBits) + " bits");
        test::PtyMaster master;
        test::SessionRig rig;
        LineSettings s;  // 115200, no flow control
        s.Port = master.SlavePath();
        s.DataBits = dataBits;
        s.Pattern = pattern;
        test::PtyWire wire(master, 11520);
        ASSERT_TRUE(rig.session.Start(TestMode::Bert, s))
            << (rig.box.Messages.empty() ? "" : rig.box.Messages[0].Text);
        auto next = std::chrono::steady_clock::now();
        for (int tick = 0; tick < 15; ++tick) {
            rig.session.Tick();
            ASSERT_TRUE(rig.session.Running());
            next += std::chrono::milliseconds(100);
            std::this_thread::sleep_until(next);
        }
        const PatternCounts& n = *rig.engine.Sequence();
        EXPECT_TRUE(n.InSync);
        EXPECT_EQ(n.BitErrors, 0);
        EXPECT_EQ(n.SyncLosses, 0);
        EXPECT_EQ(rig.engine.Counters().Errors, 0);
        EXPECT_GT(rig.engine.Counters().Received, 2'000) << "the pattern came back";
        EXPECT_GT(n.BitsChecked, rig.engine.Counters().Received * dataBits - 100);
        rig.session.StopSession();
    }
}

}  // namespace
}  // namespace kvartix
