// Two BERT sessions crossing the built-in null-modem cable, each checking what the other
// sends, driven as the runner drives them: one opener, one clock, a cycle of each per 100 ms.
// (The runner's tests cross it clean under each flow control.)
#include <gtest/gtest.h>

#include <functional>

#include "engine/SessionController.h"
#include "serial/SystemPortOpener.h"
#include "support/ManualClock.h"
#include "support/Recorders.h"

namespace kvartix {
namespace {

struct Side {
    Side(PortOpener& opener, const Clock& clock) : session(view, box, opener, clock) {}
    test::RecordingView view;
    test::RecordingBox box;
    SessionController session;
};

struct Crossing {
    test::ManualClock clock;
    SystemPortOpener opener{clock};
    Side a{opener, clock}, b{opener, clock};

    bool Start(LineSettings s) {
        s.Port = "CABLE:A";
        if (!a.session.Start(TestMode::Bert, s)) return false;
        s.Port = "CABLE:B";
        return b.session.Start(TestMode::Bert, s);
    }
    void Cycles(
        int n, const std::function<bool()>& bReads = [] { return true; }) {
        for (int i = 0; i < n; ++i) {
            a.session.Tick();
            if (bReads()) b.session.Tick();
            clock.AdvanceMs(100);
        }
    }
};

struct HoldCase {
    const char* Name;
    std::function<void(LineSettings&)> Flow;
    Led Lamp;   // A's lamp that shows the hold
    bool Held;  // how it shows it
};

class BertOnCableHold : public ::testing::TestWithParam<HoldCase> {};

// B's session pauses for 7 s: its receive queue fills to the threshold in 4.7 s and A's output
// is held by B's flow control, then released once B reads again, with nothing lost either way.
TEST_P(BertOnCableHold, a_far_session_that_stops_reading_holds_the_near_one_until_it_reads) {
    const HoldCase c = GetParam();
    Crossing x;
    LineSettings s;
    c.Flow(s);
    ASSERT_TRUE(x.Start(s));
    x.Cycles(20);
    EXPECT_EQ(x.a.view.Leds[c.Lamp], !c.Held);
    x.Cycles(70, [] { return false; });
    EXPECT_EQ(x.a.view.Leds[c.Lamp], c.Held) << "held while B does not read";
    const std::int64_t receivedWhileHeld = x.b.session.Core().Counters().Received;
    x.Cycles(30);
    EXPECT_EQ(x.a.view.Leds[c.Lamp], !c.Held) << "freed once B reads";
    for (const Side* side : {&x.a, &x.b}) {
        const Engine& e = side->session.Core();
        EXPECT_EQ(e.Counters().Errors, 0);
        EXPECT_EQ(e.Checker().SyncLostCount, 0);
        EXPECT_EQ(e.DriverErrors().OtherErrors, 0) << "no receive queue overflowed";
    }
    EXPECT_GT(x.b.session.Core().Counters().Received, receivedWhileHeld + 54000);
}

INSTANTIATE_TEST_SUITE_P(
    Flows, BertOnCableHold,
    ::testing::Values(
        HoldCase{"xon_xoff", [](LineSettings& s) { s.XonXoff = true; }, Led::XR, true},
        HoldCase{"rts_cts", [](LineSettings& s) { s.RtsCts = true; }, Led::CTS, false}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace kvartix
