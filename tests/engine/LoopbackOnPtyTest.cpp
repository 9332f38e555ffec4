#include <gtest/gtest.h>

#include "support/SessionRig.h"

namespace kvartix {
namespace {

using test::Bytes;
using test::Eventually;

TEST(LoopbackOnPty, echoes_a_known_stream_byte_exact_after_the_dropped_first_read) {
    test::SessionRig rig;
    test::PtyMaster master;
    LineSettings s;
    s.Port = master.SlavePath();
    ASSERT_TRUE(rig.session.Start(TestMode::Loopback, s));
    master.Send(Bytes{'D', 'R', 'O', 'P'});
    ASSERT_TRUE(Eventually([&] { return rig.Port().TrafficSoFar().Received == 4; }));
    rig.session.Tick();  // the first read: neither echoed nor counted

    Bytes stream(200'000);
    for (std::size_t i = 0; i < stream.size(); ++i) stream[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    Bytes back;
    for (std::size_t sent = 0; back.size() < stream.size();) {
        if (sent < stream.size()) {
            const std::size_t n = std::min<std::size_t>(3000, stream.size() - sent);
            master.Send(Bytes(stream.begin() + sent, stream.begin() + sent + n));
            sent += n;
        }
        rig.session.Tick();
        ASSERT_TRUE(rig.session.Running());
        const Bytes more = master.Available();
        back.insert(back.end(), more.begin(), more.end());
    }
    EXPECT_TRUE(back == stream) << "echo differs";
    EXPECT_EQ(rig.engine.Counters().Received, static_cast<std::int64_t>(stream.size()));
    EXPECT_TRUE(rig.box.Messages.empty());
}

}  // namespace
}  // namespace kvartix

namespace kvartix {
namespace {

// Only reads run in these sessions: the far end closing must still end them, once.
TEST(ReadingSessions, a_far_end_that_goes_away_ends_a_loopback_or_terminal_session) {
    for (const TestMode mode : {TestMode::Loopback, TestMode::Terminal}) {
        SCOPED_TRACE(mode == TestMode::Loopback ? "loopback" : "terminal");
        test::SessionRig rig;
        auto master = std::make_unique<test::PtyMaster>();
        LineSettings s;
        s.Port = master->SlavePath();
        ASSERT_TRUE(rig.session.Start(mode, s));
        rig.session.Tick();
        master.reset();
        EXPECT_TRUE(test::Eventually([&] {
            rig.session.Tick();
            return !rig.session.Running();
        }, std::chrono::seconds(5)));
        EXPECT_LE(rig.box.Messages.size(), 1u);
    }
}

}  // namespace
}  // namespace kvartix
