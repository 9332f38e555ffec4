// Whole BERT sessions on a test pattern through LOOP, its faults counted by the plug.
#include <gtest/gtest.h>

#include "serial/loop/VirtualCommPort.h"
#include "support/LoopRun.h"
#include "support/ManualClock.h"

namespace kvartix {
namespace {

struct LoopCase {
    LinePattern Pattern;
    int DataBits;
    const char* Port;
};

TEST(PatternOnLoop, corrupted_characters_are_the_errors_and_dropped_ones_the_sync_losses) {
    const LoopCase kCases[] = {
        {LinePattern::Prbs15, 8, "LOOP"},
        {LinePattern::Prbs15, 8, "LOOP:corrupt=1e-4,seed=5"},
        {LinePattern::Prbs31, 7, "LOOP:corrupt=1e-4,seed=6"},
        {LinePattern::Qrss20, 5, "LOOP:corrupt=1e-4,seed=7"},
        {LinePattern::Prbs9, 8, "LOOP:drop=1e-4,seed=8"},
        {LinePattern::Prbs23, 6, "LOOP:insert=1e-4,seed=9"},
    };
    for (const LoopCase& c : kCases) {
        SCOPED_TRACE(std::string(PatternName(c.Pattern)) + " " + c.Port);
        test::ManualClock clock;
        test::LoopRun run(clock);
        LineSettings s;
        s.Port = c.Port;
        s.DataBits = c.DataBits;
        s.Pattern = c.Pattern;
        ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
        run.Cycles(clock, 300);
        const auto& injected = dynamic_cast<VirtualCommPort&>(*run.session.Port()).Injected();
        const PatternCounts& n = *run.engine.Sequence();
        EXPECT_TRUE(n.InSync);
        EXPECT_FALSE(run.view.ErrorsAlarm) << "the pattern was found";
        if (injected.Dropped + injected.Inserted == 0) {
            EXPECT_GT(n.BitsChecked, run.engine.Counters().Received * c.DataBits - 1000);
            // A corrupted character has one bit or more flipped, and counts once in the cells.
            EXPECT_EQ(n.SyncLosses, 0);
            EXPECT_EQ(run.engine.Counters().Errors, injected.Corrupted);
            EXPECT_EQ(n.ErroredCharacters, injected.Corrupted);
            EXPECT_GE(n.BitErrors, injected.Corrupted);
            EXPECT_LE(n.BitErrors, injected.Corrupted * c.DataBits);
        } else {
            EXPECT_GT(injected.Dropped + injected.Inserted, 5);
            EXPECT_EQ(n.SyncLosses, injected.Dropped + injected.Inserted);
        }
    }
}

TEST(PatternOnLoop, the_packet_event_rows_show_the_pattern_sync_losses_only) {
    test::ManualClock clock;
    test::LoopRun run(clock);
    LineSettings s;
    s.Port = "LOOP:drop=3e-4,seed=2";
    s.Pattern = LinePattern::Prbs11;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    run.Cycles(clock, 100);
    auto& rows = run.view.Packet;
    EXPECT_EQ(rows[PacketErrorRow::SyncLost].Count, run.engine.Sequence()->SyncLosses);
    EXPECT_GT(rows[PacketErrorRow::SyncLost].Count, 0);
    EXPECT_EQ(rows[PacketErrorRow::InvalidSymbol].Count, 0);
    EXPECT_EQ(rows[PacketErrorRow::SymbolLost].Count, 0);
    EXPECT_EQ(run.engine.Checker().SyncLostCount, 0) << "the packets' checker is not used";
}

TEST(PatternOnLoop, a_pattern_under_xon_xoff_does_not_start_and_says_why) {
    test::ManualClock clock;
    test::LoopRun run(clock);
    LineSettings s;
    s.Pattern = LinePattern::Prbs9;
    s.XonXoff = true;
    EXPECT_FALSE(run.session.Start(TestMode::Bert, s));
    ASSERT_EQ(run.box.Messages.size(), 1u);
    EXPECT_EQ(run.box.Messages[0].Text.rfind("The test pattern prbs9 holds", 0), 0u);
    // The loopback echoes whatever comes: the pattern is not its business.
    EXPECT_TRUE(run.session.Start(TestMode::Loopback, s));
}

}  // namespace
}  // namespace kvartix
