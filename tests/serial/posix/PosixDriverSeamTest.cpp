// The posix backend over a played driver: modem lines, error counters, refusals, unplugging.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "engine/Engine.h"
#include "serial/posix/PosixCommPort.h"
#include "support/FakePosixSys.h"
#include "testkit/Pty.h"
#include "support/Recorders.h"

namespace kvartix {
namespace {

using test::Bytes;
using test::Eventually;
using test::FakeDevice;

constexpr const char* kPath = "/dev/ttyUSB0";

class PosixDriver : public ::testing::Test {
  protected:
    void SetUp() override {
        sys.Add(kPath);
        port = PosixCommPort::Open(sys, kPath);
        ASSERT_NE(port, nullptr);
    }
    template <class F>
    auto Device(F f) {
        return sys.With(kPath, f);
    }
    bool Configure(const std::function<void(LineConfig&)>& edit = nullptr,
                   std::uint32_t queue = 1000) {
        LineConfig c;
        EXPECT_TRUE(port->GetCommState(c));
        c.BaudRate = 115200;
        c.ByteSize = 8;
        c.Parity = c.StopBits = 0;
        c.fDtrControl = DTR_CONTROL_ENABLE;
        c.XonLim = c.XoffLim = static_cast<std::uint16_t>(queue / 10);
        if (edit) edit(c);
        return port->SetupComm(queue, queue) && port->SetCommState(c);
    }
    std::uint32_t Errors(std::uint8_t* flags = nullptr) {
        std::uint32_t errors = 0;
        CommStatus status;
        EXPECT_TRUE(port->ClearCommError(errors, status));
        if (flags) *flags = status.Flags;
        return errors;
    }
    int Lines() {
        return Device([](FakeDevice& d) { return d.Lines; });
    }

    test::FakePosixSys sys;
    // Declared before the port: the I/O thread may signal it until the port is gone.
    CompletionEvent writeEvent;
    TransferRecord wt{&writeEvent};
    TransferRecord rt{};
    std::unique_ptr<PosixCommPort> port;
};

struct CounterClass {
    const char* Name;
    int LineCounters::*Field;
    std::uint32_t Bit;
};

class ErrorCounters : public PosixDriver, public ::testing::WithParamInterface<CounterClass> {};

TEST_P(ErrorCounters, a_moved_counter_is_its_mask_bit_once_however_many_events) {
    port.reset();
    Device([](FakeDevice& d) { d.Counters.*(GetParam().Field) = 7; });  // before the open: not ours
    port = PosixCommPort::Open(sys, kPath);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(Errors(), 0u);
    for (int events : {1, 50}) {
        Device([&](FakeDevice& d) { d.Counters.*(GetParam().Field) += events; });
        EXPECT_EQ(Errors(), GetParam().Bit) << events << " events";
        EXPECT_EQ(Errors(), 0u) << "cleared by the query";
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachClass, ErrorCounters,
    ::testing::Values(CounterClass{"frame", &LineCounters::Frame, CE_FRAME},
                      CounterClass{"overrun", &LineCounters::Overrun, CE_OVERRUN},
                      CounterClass{"parity", &LineCounters::Parity, CE_RXPARITY},
                      CounterClass{"brk", &LineCounters::Brk, CE_BREAK},
                      CounterClass{"buf_overrun", &LineCounters::BufOverrun, CE_RXOVER}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(PosixDriver, classes_moving_together_give_their_bits_together) {
    ASSERT_TRUE(Configure(nullptr, 10));
    Device([](FakeDevice& d) {
        d.Counters.Frame += 2;
        d.Counters.Parity += 1;
        d.Counters.BufOverrun += 3;
    });
    EXPECT_EQ(Errors(), CE_FRAME | CE_RXPARITY | CE_RXOVER);
    EXPECT_EQ(Errors(), 0u);
}

TEST_F(PosixDriver, a_driver_without_counters_or_lines_reports_no_errors_and_no_modem_status) {
    Device([](FakeDevice& d) {
        d.HasCounters = false;
        d.HasLines = false;
    });
    ASSERT_TRUE(Configure([](LineConfig& c) { c.fOutxCtsFlow = c.fOutxDsrFlow = true; }));
    std::uint8_t flags = 0xFF;
    EXPECT_EQ(Errors(&flags), 0u);
    EXPECT_EQ(flags, 0) << "nothing is held on lines the driver does not have";
    std::uint32_t modem = 0;
    EXPECT_FALSE(port->GetCommModemStatus(modem));
}

struct LampCase {
    int Lines;
    bool Cts, Dsr, Dcd;
};

class ModemLamps : public PosixDriver, public ::testing::WithParamInterface<LampCase> {};

TEST_P(ModemLamps, tiocmget_bits_light_the_line_lamps_of_the_first_cycle) {
    const LampCase& lc = GetParam();
    Device([&](FakeDevice& d) { d.Lines = lc.Lines | TIOCM_DTR; });
    ASSERT_TRUE(Configure());
    test::RecordingView view;
    test::RecordingBox box;
    SystemClock clock;
    Engine engine(view, box, clock);
    engine.BeginSession(*port, wt, rt, TestMode::Bert, LineSettings{}, SessionParameters{});
    engine.Tick();
    EXPECT_EQ(view.Leds[Led::CTS], lc.Cts);
    EXPECT_EQ(view.Leds[Led::DSR], lc.Dsr);
    EXPECT_EQ(view.Leds[Led::DCD], lc.Dcd);
    std::uint32_t modem = 0;
    ASSERT_TRUE(port->GetCommModemStatus(modem));
    EXPECT_EQ((modem & MS_RING_ON) != 0, (lc.Lines & TIOCM_RNG) != 0);
    port->CloseHandle();  // the engine's pattern is the buffer of the write still in flight
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ModemLamps,
    ::testing::Values(LampCase{0, false, false, false}, LampCase{TIOCM_CTS, true, false, false},
                      LampCase{TIOCM_DSR | TIOCM_RNG, false, true, false},
                      LampCase{TIOCM_CAR, false, false, true},
                      LampCase{TIOCM_CTS | TIOCM_DSR | TIOCM_CAR, true, true, true}));

TEST_F(PosixDriver, cts_and_dsr_output_flow_hold_flags_follow_their_lines) {
    ASSERT_TRUE(Configure([](LineConfig& c) {
        c.fOutxCtsFlow = c.fOutxDsrFlow = true;
        c.fRtsControl = RTS_CONTROL_HANDSHAKE;
    }));
    std::uint8_t flags = 0;
    Errors(&flags);
    EXPECT_EQ(flags, 0);
    Device([](FakeDevice& d) { d.Lines &= ~(TIOCM_CTS | TIOCM_DSR); });
    Errors(&flags);
    EXPECT_EQ(flags, kCtsHold | kDsrHold);
    Device([](FakeDevice& d) { d.Lines |= TIOCM_CTS; });
    Errors(&flags);
    EXPECT_EQ(flags, kDsrHold);
}

// The write completes into the transmit queue; DSR holds the queue back from the line.
TEST_F(PosixDriver, dsr_output_flow_keeps_the_queued_data_back_until_dsr_rises) {
    Device([](FakeDevice& d) { d.Lines &= ~TIOCM_DSR; });
    ASSERT_TRUE(Configure([](LineConfig& c) { c.fOutxDsrFlow = true; }));
    const Bytes data{1, 2, 3, 4, 5};
    std::uint32_t n = 0;
    ASSERT_EQ(port->WriteFile(wt, data.data(), 5, n), IoResult::Pending);
    EXPECT_EQ(port->GetOverlappedResult(wt, n), IoResult::Done);
    EXPECT_EQ(n, 5u);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(Device([](FakeDevice& d) { return d.Line.empty(); }));
    std::uint32_t errors = 0;
    CommStatus status;
    ASSERT_TRUE(port->ClearCommError(errors, status));
    EXPECT_EQ(status.OutQueue, 5u);
    Device([](FakeDevice& d) { d.Lines |= TIOCM_DSR; });
    EXPECT_TRUE(Eventually([&] { return Device([](FakeDevice& d) { return d.Line; }) == data; }));
}

// A transmit queue of 400: the write is pending until its last bytes fit, then complete
// while the queue still feeds the driver.
TEST_F(PosixDriver, partial_writes_and_eagain_still_hand_over_every_byte_in_order) {
    ASSERT_TRUE(Configure(nullptr, 400));
    Device([](FakeDevice& d) {
        d.WriteChunk = 7;
        d.EagainWrites = 3;
    });
    Bytes data(1000);
    std::iota(data.begin(), data.end(), std::uint8_t{0});
    std::uint32_t n = 0;
    ASSERT_EQ(port->WriteFile(wt, data.data(), 1000, n), IoResult::Pending);
    ASSERT_TRUE(writeEvent.WaitFor(std::chrono::seconds(10)));
    EXPECT_GE(Device([](FakeDevice& d) { return d.Line.size(); }), 600u);
    EXPECT_EQ(port->GetOverlappedResult(wt, n), IoResult::Done);
    EXPECT_EQ(n, 1000u);
    EXPECT_TRUE(Eventually([&] { return Device([](FakeDevice& d) { return d.Line; }) == data; }));
    EXPECT_EQ(port->GetOverlappedResult(wt, n), IoResult::Failed) << "nothing left to complete";
}

// At the end of a run the tester throws away what has not gone: the queue, the rest of the
// pending write, and what the driver holds; the write completes, and the count is told. A
// pseudo-terminal cannot say what it holds: that is let through, never thrown away unseen.
TEST_F(PosixDriver, purging_the_output_counts_what_never_left_and_completes_the_write) {
    for (const bool pty : {false, true}) {
        SCOPED_TRACE(pty ? "a pseudo-terminal" : "a driver");
        Device([pty](FakeDevice& d) {
            d.Lines &= ~TIOCM_DSR;
            d.OutQueued = pty ? 0 : 30;
            d.Pty = pty;
            d.Calls.clear();
        });
        ASSERT_TRUE(Configure([](LineConfig& c) { c.fOutxDsrFlow = true; }, 400));
        const Bytes data(1000, 'p');
        std::uint32_t n = 0;
        ASSERT_EQ(port->WriteFile(wt, data.data(), 1000, n), IoResult::Pending);
        EXPECT_EQ(port->PurgeOutput(), std::optional<std::uint32_t>(pty ? 1000 : 1030));
        EXPECT_EQ(port->GetOverlappedResult(wt, n), IoResult::Done);
        Device([](FakeDevice& d) { d.Lines |= TIOCM_DSR; });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_TRUE(Device([](FakeDevice& d) { return d.Line.empty(); }));
        const auto calls = Device([](FakeDevice& d) { return d.Calls; });
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "flush"), pty ? 0 : 1);
    }
}

TEST_F(PosixDriver, an_unplugged_adapter_answers_every_transfer_with_gone_and_closes_cleanly) {
    ASSERT_TRUE(Configure());
    Device([](FakeDevice& d) { d.Stopped = true; });  // a write stays in flight
    const Bytes data(100, 0x41);
    std::uint32_t n = 0;
    ASSERT_EQ(port->WriteFile(wt, data.data(), 100, n), IoResult::Pending);
    Device([](FakeDevice& d) { d.Unplugged = true; });
    std::uint8_t buffer[16];
    ASSERT_TRUE(Eventually([&] { return port->ReadFile(rt, buffer, 16, n) == IoResult::Gone; }));
    EXPECT_EQ(port->GetOverlappedResult(wt, n), IoResult::Gone);
    EXPECT_EQ(port->WriteFile(wt, data.data(), 100, n), IoResult::Gone);
    std::uint32_t mask = 0;
    CommStatus status;
    EXPECT_FALSE(port->ClearCommError(mask, status));
    LineConfig c;
    EXPECT_FALSE(port->GetCommState(c));
    port.reset();
    EXPECT_EQ(sys.OpenDescriptors(), 0u);
}

struct DriverCase {
    const char* Name;
    std::function<void(TermiosState&)> Driver;
    std::function<void(LineConfig&)> Edit;
    bool Accepted;
};

class DriverReadBack : public PosixDriver, public ::testing::WithParamInterface<DriverCase> {};

TEST_P(DriverReadBack, a_setting_the_driver_dropped_is_a_refusal_and_the_line_goes_back) {
    ASSERT_TRUE(Configure());
    const TermiosState before = Device([](FakeDevice& d) { return d.Termios; });
    LineConfig was;
    ASSERT_TRUE(port->GetCommState(was));
    Device([&](FakeDevice& d) { d.Driver = GetParam().Driver; });
    LineConfig c = was;
    GetParam().Edit(c);
    EXPECT_EQ(port->SetCommState(c), GetParam().Accepted);
    LineConfig now;
    ASSERT_TRUE(port->GetCommState(now));
    if (GetParam().Accepted) {
        EXPECT_EQ(now, c);
    } else {
        EXPECT_EQ(now, was);
        Device([&](FakeDevice& d) { d.Driver = nullptr; });
        EXPECT_EQ(Device([](FakeDevice& d) { return d.Termios; }).Cflag & ~CBAUD,
                  before.Cflag & ~CBAUD);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, DriverReadBack,
    ::testing::Values(
        DriverCase{"no_stick_parity", [](TermiosState& t) { t.Cflag &= ~CMSPAR; },
                   [](LineConfig& c) { c.Parity = 3; }, false},
        DriverCase{"eight_bits_only",
                   [](TermiosState& t) { t.Cflag = (t.Cflag & ~(CSIZE | PARENB)) | CS8; },
                   [](LineConfig& c) {
                       c.ByteSize = 7;
                       c.Parity = 2;
                   },
                   false},
        DriverCase{"no_hardware_flow", [](TermiosState& t) { t.Cflag &= ~CRTSCTS; },
                   [](LineConfig& c) { c.fOutxCtsFlow = true; }, false},
        DriverCase{"tops_out_at_115200",
                   [](TermiosState& t) { t.Speed = std::min<std::uint32_t>(t.Speed, 115200); },
                   [](LineConfig& c) { c.BaudRate = 230400; }, false},
        DriverCase{"rounds_the_rate_by_a_divisor",
                   [](TermiosState& t) { t.Speed = t.Speed / 100 * 100 + 50; },
                   [](LineConfig& c) { c.BaudRate = 250000; }, true},
        DriverCase{"keeps_everything", nullptr,
                   [](LineConfig& c) {
                       c.ByteSize = 5;
                       c.StopBits = 1;
                       c.Parity = 4;
                       c.BaudRate = 45;
                   },
                   true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(PosixDriver, dtr_and_rts_follow_the_record_and_both_go_low_at_close) {
    ASSERT_TRUE(Configure([](LineConfig& c) { c.fRtsControl = RTS_CONTROL_DISABLE; }));
    EXPECT_EQ(Lines() & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR);
    ASSERT_TRUE(Configure([](LineConfig& c) {
        c.fDtrControl = DTR_CONTROL_DISABLE;
        c.fRtsControl = RTS_CONTROL_ENABLE;
    }));
    EXPECT_EQ(Lines() & (TIOCM_DTR | TIOCM_RTS), TIOCM_RTS);
    ASSERT_TRUE(Configure());
    ASSERT_TRUE(port->CloseHandle());
    EXPECT_EQ(Lines() & (TIOCM_DTR | TIOCM_RTS), 0);
    EXPECT_EQ(sys.OpenDescriptors(), 0u);
}

TEST_F(PosixDriver, close_discards_held_output_before_it_releases_the_hold_and_closes) {
    ASSERT_TRUE(Configure([](LineConfig& c) {
        c.fOutX = c.fInX = true;
        c.XonChar = kXonChar;
        c.XoffChar = kXoffChar;
    }));
    Device([](FakeDevice& d) { d.FarEnd.push_back(kXoffChar); });
    ASSERT_TRUE(Eventually([&] { return Device([](FakeDevice& d) { return d.Stopped; }); }));
    Device([](FakeDevice& d) { d.Calls.clear(); });
    ASSERT_TRUE(port->CloseHandle());
    EXPECT_EQ(
        Device([](FakeDevice& d) { return d.Calls; }),
        (std::vector<std::string>{"flush", "flow " + std::to_string(TCOON), "lower", "close"}));
}

// A character every 100 us, as at 115200 bit/s: the thread gathers them instead of waking
// for each.
TEST_F(PosixDriver, a_busy_line_wakes_the_io_thread_only_every_few_milliseconds) {
    ASSERT_TRUE(Configure(nullptr, 60000));
    const int before = Device([&](FakeDevice&) { return sys.Polls; });
    const auto start = std::chrono::steady_clock::now();
    int sent = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(200)) {
        Device([](FakeDevice& d) { d.FarEnd.push_back('x'); });
        ++sent;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    const int polls = Device([&](FakeDevice&) { return sys.Polls; }) - before;
    EXPECT_LE(polls, 100) << sent << " characters";
    EXPECT_TRUE(Eventually([&] { return port->TrafficSoFar().Received == std::uint64_t(sent); }));
}

TEST_F(PosixDriver, a_driver_that_will_not_drive_dtr_refuses_the_configuration) {
    Device([](FakeDevice& d) { d.LineDriver = [](int& lines) { lines &= ~TIOCM_DTR; }; });
    EXPECT_FALSE(Configure());
}

TEST_F(PosixDriver, rts_handshake_drops_rts_at_the_threshold_and_raises_it_once_drained) {
    ASSERT_TRUE(Configure(
        [](LineConfig& c) {
            c.fOutxCtsFlow = true;
            c.fRtsControl = RTS_CONTROL_HANDSHAKE;
        },
        100));
    EXPECT_TRUE(Lines() & TIOCM_RTS);
    Device([](FakeDevice& d) { d.FarEnd.assign(91, 'r'); });
    ASSERT_TRUE(Eventually([&] { return port->TrafficSoFar().Received == 91; }));
    EXPECT_FALSE(Lines() & TIOCM_RTS) << "9 free is below 10";
    std::uint8_t buffer[100];
    std::uint32_t n = 0;
    ASSERT_EQ(port->ReadFile(rt, buffer, 80, n), IoResult::Done);
    EXPECT_FALSE(Lines() & TIOCM_RTS) << "11 queued is above 10";
    ASSERT_EQ(port->ReadFile(rt, buffer, 1, n), IoResult::Done);
    EXPECT_TRUE(Lines() & TIOCM_RTS);
}

// The far end sends more than the queue holds: the rest waits in the kernel, as a driver's
// buffer would keep it, and arrives whole once the queue is read.
TEST_F(PosixDriver, a_full_queue_leaves_the_rest_with_the_kernel_and_loses_nothing) {
    ASSERT_TRUE(Configure(nullptr, 100));
    Bytes sent(250);
    std::iota(sent.begin(), sent.end(), std::uint8_t{0});
    Device([&](FakeDevice& d) { d.FarEnd = sent; });
    ASSERT_TRUE(Eventually([&] { return port->TrafficSoFar().Received == 100; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(port->TrafficSoFar().Received, 100u) << "read beyond the queue's room";
    Bytes got;
    ASSERT_TRUE(Eventually([&] {
        std::uint8_t buffer[100];
        std::uint32_t n = 0;
        port->ReadFile(rt, buffer, 100, n);
        got.insert(got.end(), buffer, buffer + n);
        return got.size() >= sent.size();
    }));
    EXPECT_EQ(got, sent);
    EXPECT_EQ(Errors(), 0u);
}

// EIO, ENXIO and ENODEV mean the device went away; any other read error fails that read,
// told once, and the port goes on.
TEST_F(PosixDriver, a_read_error_other_than_a_vanished_device_fails_one_read_only) {
    ASSERT_TRUE(Configure());
    Device([](FakeDevice& d) {
        d.ReadError = EINVAL;
        d.FarEnd = {'a', 'b'};
    });
    std::uint8_t buffer[10];
    std::uint32_t n = 0;
    ASSERT_TRUE(Eventually([&] { return port->ReadFile(rt, buffer, 10, n) == IoResult::Failed; }));
    ASSERT_TRUE(Eventually([&] { return port->TrafficSoFar().Received == 2; }));
    EXPECT_EQ(port->ReadFile(rt, buffer, 10, n), IoResult::Done);
    EXPECT_EQ(n, 2u);
}

// With no hang-up from poll: the read's own error is all that tells the device is gone.
class VanishedOnRead : public PosixDriver, public ::testing::WithParamInterface<int> {};

TEST_P(VanishedOnRead, a_read_failing_as_a_vanished_device_leaves_the_port_gone) {
    ASSERT_TRUE(Configure());
    Device([error = GetParam()](FakeDevice& d) {
        d.ReadError = error;
        d.FarEnd = {'a'};
    });
    std::uint8_t buffer[10];
    std::uint32_t n = 0;
    EXPECT_TRUE(Eventually([&] { return port->ReadFile(rt, buffer, 10, n) == IoResult::Gone; }));
}

INSTANTIATE_TEST_SUITE_P(Errnos, VanishedOnRead, ::testing::Values(EIO, ENXIO, ENODEV));

class PacedWriter : public PosixDriver {
  protected:
    void Start(const std::function<void(FakeDevice&)>& device, std::uint32_t queue = 1000) {
        Device([&](FakeDevice& d) { device(d); });
        ASSERT_TRUE(Configure(
            [](LineConfig& c) {
                c.fOutX = c.fInX = true;
                c.XonChar = kXonChar;
                c.XoffChar = kXoffChar;
            },
            queue));
        std::uint32_t n = 0;
        ASSERT_EQ(port->WriteFile(wt, data.data(), static_cast<std::uint32_t>(data.size()), n),
                  IoResult::Pending);
    }
    std::size_t OnLine() {
        return Device([](FakeDevice& d) { return d.Line.size(); });
    }
    Bytes data = Bytes(2000, 'd');
};

// 500 characters still in the adapter are 43 ms of line at 115200 bit/s, far more than the
// lead: nothing more goes until the adapter says it has sent them.
TEST_F(PacedWriter, hands_nothing_over_while_the_driver_holds_more_than_the_lead) {
    Start([](FakeDevice& d) { d.OutQueued = 500; });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(OnLine(), 0u);
    Device([](FakeDevice& d) { d.OutQueued = 0; });
    EXPECT_TRUE(Eventually([&] { return OnLine() == data.size(); }));
    port->CloseHandle();
}

// At 115200 bit/s the 6 ms lead is 69 characters. The thread tops it up when the line has
// drained to its margin, with the input read in the same wake-up: every 3 ms, one poll each
// (two polls each, and more wake-ups for the input, before). The line never runs dry nor gets
// more than the lead ahead.
TEST_F(PacedWriter, tops_up_the_lead_once_per_wake_up_and_keeps_the_line_fed) {
    data = Bytes(6000, 'd');
    Start([](FakeDevice&) {}, 60000);
    ASSERT_TRUE(Eventually([&] { return OnLine() > 0; }));
    const auto start = std::chrono::steady_clock::now();
    const std::size_t lineBefore = OnLine();
    const int pollsBefore = Device([&](FakeDevice&) { return sys.Polls; });
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const std::size_t sent = OnLine() - lineBefore;
    const int polls = Device([&](FakeDevice&) { return sys.Polls; }) - pollsBefore;
    const double lineChars =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * 11520;
    EXPECT_LE(polls, 120) << "about 85 wake-ups in 250 ms";
    EXPECT_GE(static_cast<double>(sent), 0.8 * lineChars);
    EXPECT_LE(static_cast<double>(sent), lineChars + 70);
    port->CloseHandle();
}

// A 1 ms lead and a silent far end: input that is due but absent is waited for, not tried
// again with every character handed over (that spun at 50000 wake-ups a second).
TEST_F(PacedWriter, a_short_lead_over_a_silent_line_is_topped_up_without_spinning) {
    data = Bytes(6000, 'd');
    Start([](FakeDevice&) {}, 60000);
    port->SetLeadUs(1000);
    ASSERT_TRUE(Eventually([&] { return OnLine() > 0; }));
    const int before = Device([&](FakeDevice&) { return sys.Polls; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LE(Device([&](FakeDevice&) { return sys.Polls; }) - before, 400)
        << "one top-up every half millisecond";
    port->CloseHandle();
}

// A USB adapter goes on sending what it was given after TCOOFF: an Xoff read in the wake-up
// that would hand over the next piece must keep that piece back.
TEST_F(PacedWriter, an_xoff_stops_hand_overs_on_an_adapter_that_ignores_tcooff) {
    Start([](FakeDevice& d) { d.StopIgnored = true; });
    ASSERT_TRUE(Eventually([&] { return OnLine() > 0; }));
    Device([](FakeDevice& d) { d.FarEnd.push_back(kXoffChar); });
    ASSERT_TRUE(Eventually([&] { return Device([](FakeDevice& d) { return d.Stopped; }); }));
    const std::size_t atXoff = OnLine();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(OnLine(), atXoff);
    EXPECT_LT(atXoff, data.size());
    port->CloseHandle();
}

TEST(PosixOpen, holds_the_device_exclusively_until_closed_and_leaves_nothing_behind_a_failure) {
    test::FakePosixSys sys;
    sys.Add(kPath);
    EXPECT_EQ(PosixCommPort::Open(sys, "/dev/ttyUSB9"), nullptr);
    auto first = PosixCommPort::Open(sys, kPath);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(sys.With(kPath, [](FakeDevice& d) { return d.Exclusive; }));
    const std::size_t held = sys.OpenDescriptors();
    EXPECT_EQ(PosixCommPort::Open(sys, kPath), nullptr);
    EXPECT_EQ(sys.OpenDescriptors(), held) << "the refused open closed its descriptor";
    first.reset();
    EXPECT_FALSE(sys.With(kPath, [](FakeDevice& d) { return d.Exclusive; }));
    EXPECT_NE(PosixCommPort::Open(sys, kPath), nullptr);
}

}  // namespace
}  // namespace kvartix
