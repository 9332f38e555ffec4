#include <gtest/gtest.h>

#include "engine/Engine.h"
#include "engine/TestSession.h"
#include "support/EngineProbe.h"
#include "support/FakeCommPort.h"
#include "support/LoopRun.h"
#include "support/ManualClock.h"
#include "support/Recorders.h"

namespace kvartix {
namespace {

using test::BoxMessage;
using test::FakeCommPort;

class EngineCycle : public ::testing::Test {
protected:
    void Begin(TestMode mode = TestMode::Bert) {
        engine.BeginSession(port, events.WriteTransfer, events.ReadTransfer, mode, settings,
                            DeriveSessionParameters(settings));
    }
    void Cycles(int n) {
        for (int i = 0; i < n; ++i) {
            engine.Tick();
            clock.AdvanceMs(100);
        }
    }

    test::ManualClock clock;
    test::RecordingView view;
    test::RecordingBox box;
    TransferEvents events;
    FakeCommPort port;
    LineSettings settings;
    Engine engine{view, box, clock};
};

struct MaskCase {
    std::uint32_t Mask;
    std::int32_t Other, Parity, Overrun, Framing;
};

class EngineErrorMask : public EngineCycle, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(EngineErrorMask, each_class_adds_one_per_cycle) {
    const MaskCase c = GetParam();
    Begin();
    port.S.ErrorMasks = {c.Mask};
    Cycles(1);
    EXPECT_EQ(engine.DriverErrors().OtherErrors, c.Other);
    EXPECT_EQ(engine.DriverErrors().ParityErrors, c.Parity);
    EXPECT_EQ(engine.DriverErrors().OverrunErrors, c.Overrun);
    EXPECT_EQ(engine.DriverErrors().FramingErrors, c.Framing);
    EXPECT_EQ(view.Driver[DriverErrorRow::Other].Occurred, c.Other == 1);
    EXPECT_EQ(view.Driver[DriverErrorRow::Other].Mask, c.Mask);
    EXPECT_EQ(view.Driver[DriverErrorRow::Framing].Occurred, c.Framing == 1);
}

INSTANTIATE_TEST_SUITE_P(Masks, EngineErrorMask,
                         ::testing::Values(MaskCase{CE_RXOVER, 1, 0, 0, 0},
                                           MaskCase{CE_BREAK, 1, 0, 0, 0},
                                           MaskCase{0x000E, 0, 1, 1, 1},
                                           MaskCase{CE_RXPARITY | CE_FRAME, 0, 1, 0, 1},
                                           MaskCase{0x8000, 1, 0, 0, 0}));

TEST_F(EngineCycle, a_failing_error_query_counts_as_no_errors_and_no_holds) {
    Begin();
    port.S.FailClearCommError = true;
    Cycles(1);
    EXPECT_EQ(engine.DriverErrors().OtherErrors, 0);
    EXPECT_EQ(engine.DriverErrors().ParityErrors, 0);
    EXPECT_FALSE(view.Leds[Led::XR]);
    EXPECT_FALSE(view.Leds[Led::XS]);
}

TEST_F(EngineCycle, first_tick_lights_all_five_lamps_later_ticks_only_changed_ones) {
    port.S.Modem = MS_CTS_ON | MS_RLSD_ON;
    Begin();
    Cycles(1);
    EXPECT_EQ(view.LedUpdates, 5);
    EXPECT_TRUE(view.Leds[Led::CTS]);
    EXPECT_FALSE(view.Leds[Led::DSR]);
    EXPECT_TRUE(view.Leds[Led::DCD]);
    Cycles(2);
    EXPECT_EQ(view.LedUpdates, 5);
    port.S.StatusFlags = kXoffHold;
    port.S.Modem.reset();  // a failing modem query shows the three lines inactive
    Cycles(1);
    EXPECT_EQ(view.LedUpdates, 5 + 3);
    EXPECT_TRUE(view.Leds[Led::XR]);
    EXPECT_FALSE(view.Leds[Led::CTS]);
    EXPECT_FALSE(view.Leds[Led::DCD]);
}

TEST_F(EngineCycle, random_pacing_first_draws_in_the_fifth_cycle) {
    settings.RandomFlow = true;
    Begin();
    Cycles(5);
    const std::int32_t queue = engine.Params().QueueSize;
    ASSERT_EQ(port.ReadAsked.size(), 5u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(port.ReadAsked[i], static_cast<std::uint32_t>(queue));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(port.Writes[i].size(), static_cast<std::size_t>(queue));
    EXPECT_LE(port.ReadAsked[4], static_cast<std::uint32_t>(engine.Params().CharsPerTick));
    EXPECT_GE(port.ReadAsked[4], 1u);
    EXPECT_LE(port.Writes[4].size(), static_cast<std::size_t>(engine.Params().CharsPerTick));
    // Then every fifth cycle.
    Cycles(4);
    EXPECT_EQ(port.ReadAsked[8], port.ReadAsked[4]);
    Cycles(1);
    EXPECT_NE(port.ReadAsked[9], port.ReadAsked[4]);
}

TEST_F(EngineCycle, a_closed_write_gate_skips_the_transmit_but_not_the_read) {
    Begin();
    port.S.Completions = {IoResult::Pending, IoResult::Pending};
    Cycles(3);
    EXPECT_EQ(port.ReadCalls, 3);
    EXPECT_EQ(port.Writes.size(), 1u);
    Cycles(1);
    EXPECT_EQ(port.Writes.size(), 2u);
    EXPECT_TRUE(box.Messages.empty());
}

TEST_F(EngineCycle, the_transmit_position_follows_completed_writes_around_the_packet) {
    settings.XonXoff = true;
    Begin();
    Cycles(2);
    ASSERT_EQ(port.Writes.size(), 2u);
    EXPECT_EQ(port.Writes[0][0], 17) << "the Xon prefix goes first in BERT";
    EXPECT_EQ(port.Writes[0][1], 18);
    // 60000 bytes from position -1 end at 59999, which is 95 within a 512-byte packet.
    EXPECT_EQ(engine.State().TxPosition, 59999 & 511);
    EXPECT_EQ(port.Writes[1][0], *engine.Pattern().At(59999 & 511));
}

TEST_F(EngineCycle, a_write_done_at_once_is_reported_and_resends_from_the_same_place) {
    Begin();
    port.S.WriteResults = {IoResult::Done};
    Cycles(2);
    EXPECT_EQ(box.Messages, (std::vector<BoxMessage>{{"Error write 60000", false}}));
    EXPECT_EQ(engine.State().TxPosition, 0);
    EXPECT_EQ(port.Writes.size(), 2u);
    EXPECT_EQ(port.Writes[1][0], 18);
}

TEST_F(EngineCycle, a_write_that_fails_outright_is_reported_and_not_left_pending) {
    Begin();
    port.S.WriteResults = {IoResult::Failed};
    Cycles(1);
    EXPECT_EQ(box.Messages, (std::vector<BoxMessage>{{"Error write 0", false}}));
    EXPECT_FALSE(engine.State().WritePending);
    Cycles(1);
    EXPECT_EQ(port.CompletionQueries, 0);
    EXPECT_EQ(port.Writes.size(), 2u);
}

TEST_F(EngineCycle, a_failed_read_is_reported_and_the_cycle_goes_on_to_write) {
    Begin();
    port.S.ReadResult = IoResult::Failed;
    Cycles(1);
    EXPECT_EQ(box.Messages, (std::vector<BoxMessage>{{"error 1", false}}));
    EXPECT_EQ(port.Writes.size(), 1u);
}

TEST_F(EngineCycle, the_errors_cell_is_red_until_the_first_start_code) {
    settings.PacketSize = 8;
    Begin();
    port.S.Reads = {{1, 2, 3}, {18, 7, 10, 150}};
    Cycles(1);
    EXPECT_TRUE(view.ErrorsAlarm);
    EXPECT_EQ(engine.Counters().Received, 3);
    Cycles(1);
    EXPECT_FALSE(view.ErrorsAlarm);
    EXPECT_EQ(engine.Counters().Received, 7);
    EXPECT_EQ(engine.Counters().Errors, 0);
    EXPECT_EQ(view.PacketUpdates, 6);
}

TEST_F(EngineCycle, a_single_symbol_is_compared_on_its_data_bits_without_packet_rows) {
    settings.PacketSize = 1;
    settings.DataBits = 7;
    settings.Symbol = 0x5A;
    Begin();
    port.S.Reads = {{0x5A, 0xDA, 0x5B, 0x00}};
    Cycles(2);
    EXPECT_EQ(engine.Counters().Errors, 2);
    EXPECT_FALSE(view.ErrorsAlarm);
    EXPECT_EQ(view.PacketUpdates, 0);
}

TEST_F(EngineCycle, loopback_xon_goes_out_from_a_byte_of_its_own) {
    settings.XonXoff = true;
    Begin(TestMode::Loopback);
    EngineProbe::State(engine).CurrentBuffer()[0] = 0xAA;
    Cycles(1);
    ASSERT_EQ(port.Writes.size(), 1u);
    EXPECT_EQ(port.Writes[0], (std::vector<std::uint8_t>{17}));
    EXPECT_EQ(engine.State().CurrentBuffer()[0], 0xAA);
    EXPECT_TRUE(engine.State().WritePending);
}

TEST_F(EngineCycle, clearing_zeroes_counts_and_restarts_the_clock_base) {
    Begin();
    port.S.ErrorMasks = {CE_FRAME};
    Cycles(3);
    engine.RequestClear();
    const int refreshes = view.PanelRefreshes;
    Cycles(1);
    EXPECT_EQ(engine.DriverErrors().FramingErrors, 0);
    EXPECT_EQ(view.PanelRefreshes, refreshes + 1);
    EXPECT_EQ(engine.Counters().StartTimeUs, clock.NowUs() - 100000);
    Cycles(1);
    EXPECT_EQ(view.PanelRefreshes, refreshes + 1) << "one request clears once";
}

class SessionOnFake : public ::testing::Test {
protected:
    SessionOnFake() { CreateTransferEvents(events, factory, box); }

    test::ManualClock clock;
    test::RecordingView view;
    test::RecordingBox box;
    EventFactory factory;
    TransferEvents events;
    test::FakeOpener opener;
    Engine engine{view, box, clock};
    TestSession session{engine, view, opener, box, events};
};

TEST_F(SessionOnFake, a_tick_after_the_session_ended_does_nothing) {
    ASSERT_TRUE(session.Start(TestMode::Bert, LineSettings{}));
    FakeCommPort* port = opener.Opened;
    auto log = port->Log;
    session.Tick();
    EXPECT_EQ(port->ReadCalls, 1);
    session.StopSession();
    EXPECT_EQ(log->back(), "CloseHandle");
    session.Tick();
    EXPECT_EQ(engine.Tick(), CycleResult::Continue);
    EXPECT_EQ(log->back(), "CloseHandle");
}

TEST_F(SessionOnFake, stop_releases_flow_control_before_closing) {
    LineSettings s;
    s.RtsCts = s.XonXoff = s.DSREnable = true;
    ASSERT_TRUE(session.Start(TestMode::Bert, s));
    FakeCommPort* port = opener.Opened;
    auto log = port->Log;
    session.StopSession();
    ASSERT_GE(log->size(), 3u);
    EXPECT_EQ((*log)[log->size() - 3], "GetCommState");
    EXPECT_EQ((*log)[log->size() - 2], "SetCommState") << "no flow control left";
    EXPECT_EQ(log->back(), "CloseHandle");
    EXPECT_FALSE(session.Running());
}

TEST_F(SessionOnFake, a_port_that_went_away_is_reported_once_and_ends_the_session) {
    ASSERT_TRUE(session.Start(TestMode::Bert, LineSettings{}));
    opener.Opened->S.ReadResult = IoResult::Gone;
    auto log = opener.Opened->Log;
    for (int i = 0; i < 5; ++i) session.Tick();
    EXPECT_EQ(box.Messages, (std::vector<BoxMessage>{{"LOOP не доступен", true}}));
    EXPECT_FALSE(session.Running());
    EXPECT_EQ(log->back(), "CloseHandle");
}

TEST_F(SessionOnFake, start_zeroes_the_counters_the_first_tick_relies_on) {
    EngineProbe::DriverErrors(engine).OverrunErrors = 4;
    EngineProbe::Checker(engine).SyncLostCount = 2;
    EngineProbe::Counters(engine).Received = 99;
    ASSERT_TRUE(session.Start(TestMode::Bert, LineSettings{}));
    EXPECT_EQ(engine.DriverErrors().OverrunErrors, 0);
    EXPECT_EQ(engine.Checker().SyncLostCount, 0);
    EXPECT_EQ(engine.Counters().Received, 0);
    EXPECT_TRUE(engine.FirstTickPending());
}

TEST(ErrorsCell, belongs_to_the_session_that_set_it) {
    test::ManualClock clock;
    test::LoopRun run(clock);
    LineSettings s;
    s.Port = "LOOP:corrupt=1,seed=1";
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    run.Cycles(clock, 20);
    EXPECT_TRUE(run.view.ErrorsAlarm) << "never synchronised";
    s.PacketSize = 1;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    run.Cycles(clock, 1);
    EXPECT_FALSE(run.view.ErrorsAlarm);
    s.PacketSize = 512;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    run.Cycles(clock, 1);
    EXPECT_TRUE(run.view.ErrorsAlarm);
    ASSERT_TRUE(run.session.Start(TestMode::Loopback, s));
    run.Cycles(clock, 1);
    EXPECT_FALSE(run.view.ErrorsAlarm);
}

TEST(WallClockStep, changes_no_figure) {
    const auto run = [](bool step) {
        test::ManualClock clock;
        test::LoopRun r(clock);
        EXPECT_TRUE(r.session.Start(TestMode::Bert, LineSettings{}));
        r.Cycles(clock, 35);
        if (step) clock.StepWallMs(-2000);
        r.Cycles(clock, 30);
        return r.view.Stats;
    };
    const auto stepped = run(true);
    EXPECT_EQ(stepped, run(false));
    EXPECT_EQ(stepped.at(StatCell::Time), "0:00:06");
    EXPECT_EQ(stepped.at(StatCell::Errors), "0");
}

}  // namespace
}  // namespace kvartix
