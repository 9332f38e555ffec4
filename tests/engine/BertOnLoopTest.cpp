#include <gtest/gtest.h>

#include <string>

#include "serial/loop/VirtualCommPort.h"
#include "support/LoopRun.h"
#include "support/ManualClock.h"

namespace kvartix {
namespace {

using test::LoopRun;

TEST(BertOnLoop, ten_seconds_at_115200_are_clean_and_use_the_whole_line) {
    test::ManualClock clock;
    LoopRun run(clock);
    LineSettings s;  // LOOP, 115200 8-N-1, packet 512
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    run.Cycles(clock, 100);
    // Ten seconds of cycles read what the line carried from the first to the last: 9.9 s, to
    // the character (the one on its way at the last read is not yet in).
    const std::int64_t capacity = 99 * 115200 / 100;
    EXPECT_EQ(run.engine.Counters().Errors, 0);
    EXPECT_NEAR(run.engine.Counters().Received, capacity, 1);
    EXPECT_FALSE(run.view.ErrorsAlarm);
    EXPECT_TRUE(run.box.Messages.empty());
}

TEST(BertOnLoop, every_dropped_character_is_one_error_and_one_lost_symbol) {
    test::ManualClock clock;
    LoopRun run(clock);
    LineSettings s;
    s.Port = "LOOP:drop=1e-4,seed=1";
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    for (int i = 0; i < 600; ++i) {
        run.session.Tick();
        clock.AdvanceMs(100);
    }
    const auto& plug = dynamic_cast<VirtualCommPort&>(*run.session.Port());
    ASSERT_GT(plug.Injected().Dropped, 30);
    EXPECT_EQ(run.engine.Counters().Errors, plug.Injected().Dropped);
    EXPECT_EQ(run.engine.Checker().SymbolLostCount, plug.Injected().Dropped);
    EXPECT_EQ(run.engine.Checker().SyncLostCount, 0);
}

TEST(BertOnLoop, random_flow_with_xon_xoff_stays_clean) {
    test::ManualClock clock;
    LoopRun run(clock);
    LineSettings s;
    s.XonXoff = true;
    s.RandomFlow = true;
    s.BitRate = 9600;
    s.PacketSize = 64;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    for (int i = 0; i < 300; ++i) {
        run.session.Tick();
        clock.AdvanceMs(100);
    }
    EXPECT_GT(run.engine.Counters().Received, 10000);
    EXPECT_EQ(run.engine.Counters().Errors, 0);
    EXPECT_EQ(run.engine.DriverErrors().OtherErrors, 0);
}

// Queues of a few characters at the slow rates: flow control has to act at the last free place.
TEST(BertOnLoop, random_flow_at_slow_rates_is_clean_with_either_flow_control) {
    for (const std::int32_t rate : {110, 300, 600}) {
        for (const bool soft : {true, false}) {
            test::ManualClock clock;
            LoopRun run(clock);
            LineSettings s;
            s.BitRate = rate;
            s.RandomFlow = true;
            s.XonXoff = soft;
            s.RtsCts = !soft;
            s.PacketSize = 8;
            ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
            for (int i = 0; i < 200; ++i) {
                run.session.Tick();
                clock.AdvanceMs(100);
            }
            SCOPED_TRACE(std::to_string(rate) + (soft ? " Xon/Xoff" : " RTS/CTS"));
            EXPECT_GT(run.engine.Counters().Received, rate / 40);
            EXPECT_EQ(run.engine.Counters().Errors, 0);
            EXPECT_EQ(run.engine.DriverErrors().OtherErrors, 0);
        }
    }
}

struct RateCase {
    std::int32_t BitRate;
    bool Starts;
    std::int32_t AxisStep;  // of a started session
};

class BitRateLimits : public ::testing::TestWithParam<RateCase> {};

// Thirty simulated seconds carry a character even at 1 bit/s, with either data speed.
TEST_P(BitRateLimits, refuse_below_one_and_move_data_from_one_up) {
    const RateCase c = GetParam();
    for (const bool random : {false, true}) {
        SCOPED_TRACE(random ? "random data speed" : "maximum data speed");
        test::ManualClock clock;
        LoopRun run(clock);
        LineSettings s;
        s.BitRate = c.BitRate;
        s.RandomFlow = random;
        ASSERT_EQ(run.session.Start(TestMode::Bert, s), c.Starts);
        if (!c.Starts) {
            ASSERT_EQ(run.box.Messages.size(), 1u);
            EXPECT_EQ(run.box.Messages[0].Text,
                      "Драйвер Windows для порта LOOP не может работать с такими параметрами.");
            EXPECT_EQ(run.session.Port(), nullptr);
            EXPECT_EQ(run.engine.Chart().AxisBitRate(), 0) << "the axis is left as it was";
            continue;
        }
        EXPECT_EQ(run.engine.Chart().LabelStep(), c.AxisStep);
        run.Cycles(clock, 300);
        EXPECT_GT(run.engine.Counters().Received, 0);
        EXPECT_TRUE(run.box.Messages.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, BitRateLimits,
                         ::testing::Values(RateCase{-9600, false, 0}, RateCase{0, false, 0},
                                           RateCase{1, true, 1}, RateCase{3, true, 1},
                                           RateCase{35, true, 8}, RateCase{50, true, 12},
                                           RateCase{110, true, 27}),
                         [](const auto& info) {
                             const std::int32_t r = info.param.BitRate;
                             return (r < 0 ? "minus" + std::to_string(-r) : std::to_string(r)) +
                                    "_bit_per_s";
                         });

}  // namespace
}  // namespace kvartix
