// Whole sessions through the engine over a pseudo-terminal, the test holding the master side.
#include <dirent.h>
#include <gtest/gtest.h>

#include "support/SessionRig.h"

namespace kvartix {
namespace {

using test::BoxMessage;
using test::Bytes;
using test::Eventually;

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

struct PtyRun : test::SessionRig {
    LineSettings Settings() const {
        LineSettings s;  // 115200 8-N-1, packet 512, maximum data speed
        s.Port = master.SlavePath();
        return s;
    }
    test::PtyMaster master;
};

TEST(BertOnPty, five_megabytes_echoed_by_the_far_end_come_back_without_an_error) {
    PtyRun run;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, run.Settings()));
    test::PtyEcho echo(run.master);
    test::RunEchoedBert(run, 5'000'000);
    EXPECT_EQ(run.engine.Counters().Errors, 0);
    EXPECT_EQ(run.engine.Checker().SyncLostCount, 0);
    EXPECT_EQ(run.engine.Checker().SymbolLostCount, 0);
    EXPECT_EQ(run.engine.DriverErrors().OtherErrors, 0);
    EXPECT_FALSE(run.view.ErrorsAlarm) << "the start code arrived";
    EXPECT_TRUE(run.box.Messages.empty());
    // A pseudo-terminal has no modem lines: the lamps show them inactive.
    EXPECT_FALSE(run.view.Leds[Led::CTS]);
    EXPECT_FALSE(run.view.Leds[Led::DCD]);
}

TEST(BertOnPty, a_second_open_of_the_held_port_is_not_available_until_the_session_stops) {
    PtyRun run;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, run.Settings()));
    const LineSettings s = run.Settings();
    OpenedPort other;
    const auto refused = OpenAndConfigure(s, DeriveSessionParameters(s), run.opener, other);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->Step, OpenStep::Open);
    EXPECT_EQ(refused->DevicePath, run.master.SlavePath());
    EXPECT_NE(refused->Refusal.Reason, "") << "the holder is named";

    run.session.StopSession();
    EXPECT_EQ(OpenAndConfigure(s, DeriveSessionParameters(s), run.opener, other), std::nullopt);
}

TEST(BertOnPty, closing_the_far_end_stops_the_session_with_one_message_and_leaves_nothing_open) {
    PtyRun run;
    const int before = OpenDescriptors();
    ASSERT_TRUE(run.session.Start(TestMode::Bert, run.Settings()));
    for (int i = 0; i < 3; ++i) run.session.Tick();
    run.master.Close();
    EXPECT_TRUE(Eventually([&] {
        run.session.Tick();
        return !run.session.Running();
    }));
    ASSERT_EQ(run.box.Messages.size(), 1u);
    EXPECT_EQ(run.box.Messages[0], (BoxMessage{run.master.SlavePath() + " не доступен", true}));
    for (int i = 0; i < 5; ++i) run.session.Tick();
    EXPECT_EQ(run.box.Messages.size(), 1u);
    EXPECT_EQ(run.session.Port(), nullptr);
    EXPECT_EQ(OpenDescriptors(), before - 1) << "only the master the test closed is gone";
}

// 9600 bit/s with random data speed: queues of 144 characters, no flow control. What does
// not fit waits in the kernel's buffer, as a driver's would, and comes in later cycles.
TEST(BertOnPty, a_far_end_flooding_a_small_queue_loses_nothing_the_kernel_can_keep) {
    PtyRun run;
    LineSettings s = run.Settings();
    s.BitRate = 9600;
    s.RandomFlow = true;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    run.master.Send(Bytes(1000, 0x55));
    ASSERT_TRUE(Eventually([&] { return run.Port().TrafficSoFar().Received == 144; }));
    run.session.Tick();
    EXPECT_EQ(run.engine.Counters().Received, 144);
    ASSERT_TRUE(Eventually([&] {
        run.session.Tick();
        return run.engine.Counters().Received == 1000;
    }));
    EXPECT_EQ(run.engine.DriverErrors().OtherErrors, 0);
}

// The far end sends up to 96 characters a cycle in bursts of 8 and obeys Xon/Xoff; the engine
// reads 1 to 96 a cycle once its random amounts are drawn, so the queue fills until the Xoff.
// A burst is shorter than the 14 characters XoffLim leaves free, so nothing overflows.
TEST(BertOnPty, random_data_speed_sends_one_xoff_at_the_threshold_then_one_xon_once_drained) {
    PtyRun run;
    LineSettings s = run.Settings();
    s.BitRate = 9600;
    s.RandomFlow = true;
    s.XonXoff = true;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    std::vector<std::uint8_t> flow;  // flow characters that reached the far end, in order
    // Everything the port sent ahead of the data has arrived, after the stream's own Xon.
    auto collect = [&] {
        return Eventually([&] {
            for (std::uint8_t c : run.master.Available())
                if (c == kXonChar || c == kXoffChar) flow.push_back(c);
            return flow.size() == 1 + run.Port().TrafficSoFar().FlowSent;
        });
    };
    run.session.Tick();
    ASSERT_TRUE(collect()) << "the BERT stream begins with an Xon";
    bool xsLit = false;
    std::uint64_t sent = 0;
    for (int cycle = 0; cycle < 500 && flow.size() < 3; ++cycle) {
        for (int burst = 0; burst < 12 && flow.back() != kXoffChar; ++burst) {
            run.master.Send(Bytes(8, 0x55));
            sent += 8;
            ASSERT_TRUE(Eventually([&] { return run.Port().TrafficSoFar().Received == sent; }));
            ASSERT_TRUE(collect());
        }
        run.session.Tick();
        xsLit = xsLit || run.view.Leds[Led::XS];
        ASSERT_TRUE(collect());
    }
    EXPECT_EQ(flow, (std::vector<std::uint8_t>{kXonChar, kXoffChar, kXonChar}));
    EXPECT_TRUE(xsLit) << "the Xoff-sent lamp lit while the far end was held";
    run.session.Tick();
    EXPECT_FALSE(run.view.Leds[Led::XS]);
    EXPECT_EQ(run.engine.DriverErrors().OtherErrors, 0) << "nothing was lost";
}

}  // namespace
}  // namespace kvartix
