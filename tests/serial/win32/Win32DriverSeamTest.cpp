// The win32 backend over a played driver: the record each line setting produces, the status
// the driver reports, the codes of a removed device, transfers the driver keeps, a queue
// query that fails or under-reports.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <sstream>

#include "engine/Engine.h"
#include "serial/PortOpening.h"
#include "serial/win32/Win32CommPort.h"
#include "support/ManualClock.h"
#include "support/Recorders.h"
// Last: windows.h renames what it has macros for.
#include "support/FakeWin32Sys.h"

namespace kvartix {
namespace {

using test::FakeWin32Sys;
using Bytes = std::vector<std::uint8_t>;

class FakeOpener final : public PortOpener {
  public:
    explicit FakeOpener(FakeWin32Sys& sys) : m_sys(sys) {}
    std::unique_ptr<CommPort> Open(const std::string& path, bool overlapped, PortRefusal&) override {
        return Win32CommPort::Open(path, overlapped, m_sys);
    }

  private:
    FakeWin32Sys& m_sys;
};

// Every field, so that a difference names the field.
std::string Fields(const DCB& d) {
    std::ostringstream s;
    s << "DCBlength=" << d.DCBlength << " BaudRate=" << d.BaudRate << " fBinary=" << d.fBinary
      << " fParity=" << d.fParity << " fOutxCtsFlow=" << d.fOutxCtsFlow
      << " fOutxDsrFlow=" << d.fOutxDsrFlow << " fDtrControl=" << d.fDtrControl
      << " fDsrSensitivity=" << d.fDsrSensitivity << " fTXContinueOnXoff=" << d.fTXContinueOnXoff
      << " fOutX=" << d.fOutX << " fInX=" << d.fInX << " fErrorChar=" << d.fErrorChar
      << " fNull=" << d.fNull << " fRtsControl=" << d.fRtsControl
      << " fAbortOnError=" << d.fAbortOnError << " fDummy2=" << d.fDummy2
      << " wReserved=" << d.wReserved << " XonLim=" << d.XonLim << " XoffLim=" << d.XoffLim
      << " ByteSize=" << int(d.ByteSize) << " Parity=" << int(d.Parity)
      << " StopBits=" << int(d.StopBits) << " XonChar=" << int(d.XonChar)
      << " XoffChar=" << int(d.XoffChar) << " ErrorChar=" << int(d.ErrorChar)
      << " EofChar=" << int(d.EofChar) << " EvtChar=" << int(d.EvtChar)
      << " wReserved1=" << d.wReserved1;
    return s.str();
}

struct DcbCase {
    const char* Name;
    std::function<void(LineSettings&)> Settings;
    std::function<void(DCB&)> Expect;
    bool KeepSendingOnXoff = false;
};

class Win32Dcb : public ::testing::TestWithParam<DcbCase> {};

// The driver starts with flags a session must clear and characters it must keep.
TEST_P(Win32Dcb, each_line_setting_gives_its_record_and_the_rest_keep_the_drivers_values) {
    FakeWin32Sys sys;
    sys.Dcb.fParity = sys.Dcb.fNull = sys.Dcb.fAbortOnError = sys.Dcb.fDsrSensitivity = 1;
    sys.Dcb.fErrorChar = sys.Dcb.fTXContinueOnXoff = sys.Dcb.fOutX = 1;
    sys.Dcb.fRtsControl = RTS_CONTROL_TOGGLE;
    DCB expected = sys.Dcb;
    LineSettings s;
    s.Port = "COM3";
    GetParam().Settings(s);
    const SessionParameters p = DeriveSessionParameters(s);
    expected.BaudRate = static_cast<DWORD>(s.BitRate);
    expected.fBinary = 1;
    expected.fParity = expected.fOutxCtsFlow = expected.fOutxDsrFlow = 0;
    expected.fDtrControl = DTR_CONTROL_ENABLE;
    expected.fDsrSensitivity = expected.fTXContinueOnXoff = expected.fOutX = expected.fInX = 0;
    expected.fErrorChar = expected.fNull = expected.fAbortOnError = 0;
    expected.fRtsControl = RTS_CONTROL_DISABLE;
    expected.XonLim = expected.XoffLim = static_cast<WORD>(p.QueueSize / 10);
    expected.ByteSize = 8;
    expected.Parity = NOPARITY;
    expected.StopBits = ONESTOPBIT;
    expected.XonChar = 0x11;
    expected.XoffChar = 0x13;
    GetParam().Expect(expected);

    FakeOpener opener(sys);
    OpenedPort opened;
    ASSERT_EQ(OpenAndConfigure(s, p, opener, opened, GetParam().KeepSendingOnXoff), std::nullopt);
    EXPECT_EQ(Fields(sys.Dcb), Fields(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, Win32Dcb,
    ::testing::Values(
        DcbCase{"eight_none_one_dtr_on", [](LineSettings&) {}, [](DCB&) {}},
        DcbCase{"rts_cts", [](LineSettings& s) { s.RtsCts = true; },
                [](DCB& d) { d.fOutxCtsFlow = 1, d.fRtsControl = RTS_CONTROL_HANDSHAKE; }},
        DcbCase{"xon_xoff", [](LineSettings& s) { s.XonXoff = true; },
                [](DCB& d) { d.fOutX = d.fInX = 1; }},
        DcbCase{"xon_xoff_loopback_keeps_sending", [](LineSettings& s) { s.XonXoff = true; },
                [](DCB& d) { d.fOutX = d.fInX = d.fTXContinueOnXoff = 1; }, true},
        DcbCase{"dsr_flow_dtr_low", [](LineSettings& s) { s.DSREnable = true, s.DTREnable = false; },
                [](DCB& d) { d.fOutxDsrFlow = 1, d.fDtrControl = DTR_CONTROL_DISABLE; }},
        DcbCase{"seven_even_two_at_921600",
                [](LineSettings& s) {
                    s.DataBits = 7, s.Parity = EvenParity, s.StopBits = TwoStopBits;
                    s.BitRate = 921600;
                },
                [](DCB& d) { d.ByteSize = 7, d.Parity = EVENPARITY, d.StopBits = TWOSTOPBITS; }},
        DcbCase{"five_mark_one_and_a_half",
                [](LineSettings& s) {
                    s.DataBits = 5, s.Parity = MarkParity, s.StopBits = One5StopBits;
                },
                [](DCB& d) { d.ByteSize = 5, d.Parity = MARKPARITY, d.StopBits = ONE5STOPBITS; }},
        DcbCase{"six_odd", [](LineSettings& s) { s.DataBits = 6, s.Parity = OddParity; },
                [](DCB& d) { d.ByteSize = 6, d.Parity = ODDPARITY; }},
        DcbCase{"eight_space", [](LineSettings& s) { s.Parity = SpaceParity; },
                [](DCB& d) { d.Parity = SPACEPARITY; }}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Win32Open, asks_for_the_session_queues_all_return_read_timeouts_and_the_carrier_event) {
    FakeWin32Sys sys;
    FakeOpener opener(sys);
    LineSettings s;
    s.Port = "COM3";
    OpenedPort opened;
    ASSERT_EQ(OpenAndConfigure(s, DeriveSessionParameters(s), opener, opened), std::nullopt);
    EXPECT_EQ(sys.InQueue, DWORD(kMaxQueue));
    EXPECT_EQ(sys.OutQueue, DWORD(kMaxQueue));
    EXPECT_EQ(sys.Timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(sys.Timeouts.ReadTotalTimeoutMultiplier + sys.Timeouts.ReadTotalTimeoutConstant +
                  sys.Timeouts.WriteTotalTimeoutMultiplier + sys.Timeouts.WriteTotalTimeoutConstant,
              0u);
    EXPECT_EQ(sys.Mask, DWORD(EV_RLSD));
}

TEST(Win32Open, a_refused_record_fails_the_line_step_and_closes_the_port) {
    FakeWin32Sys sys;
    sys.Fails["SetCommState"] = ERROR_INVALID_PARAMETER;
    FakeOpener opener(sys);
    LineSettings s;
    s.Port = "COM3";
    OpenedPort opened;
    const auto failure = OpenAndConfigure(s, DeriveSessionParameters(s), opener, opened);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Step, OpenStep::LineConfig);
    EXPECT_EQ(sys.OpenHandles, 0) << "port and both events closed";
}

// A port over the played driver with an engine session on it.
class Win32Session : public ::testing::Test {
  protected:
    void SetUp() override {
        port = Win32CommPort::Open("\\\\.\\COM3", true, sys);
        ASSERT_NE(port, nullptr);
        engine.BeginSession(*port, wt, rt, TestMode::Bert, LineSettings{}, SessionParameters{});
    }
    FakeWin32Sys sys;
    test::RecordingView view;
    test::RecordingBox box;
    test::ManualClock clock;
    Engine engine{view, box, clock};
    CompletionEvent writeEvent;
    TransferRecord wt{&writeEvent};
    TransferRecord rt{};
    std::unique_ptr<Win32CommPort> port;
};

struct StatusCase {
    const char* Name;
    std::function<void(COMSTAT&)> Stat;
    DWORD Errors;
    std::uint8_t Flags;
    bool Xr, Xs;
    std::vector<DriverErrorRow> Rows;  // the rows that show an error
};

class Win32Status : public Win32Session, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(Win32Status, comstat_holds_and_error_bits_reach_the_flags_lamps_and_error_rows) {
    const StatusCase& c = GetParam();
    c.Stat(sys.Stat);
    sys.Errors = c.Errors;
    ASSERT_EQ(engine.Tick(), CycleResult::Continue);
    EXPECT_EQ(view.Leds[Led::XR], c.Xr);
    EXPECT_EQ(view.Leds[Led::XS], c.Xs);
    for (DriverErrorRow row : {DriverErrorRow::Other, DriverErrorRow::Parity,
                               DriverErrorRow::Overrun, DriverErrorRow::Framing}) {
        const bool shown = std::count(c.Rows.begin(), c.Rows.end(), row) > 0;
        EXPECT_EQ(view.Driver[row].Occurred, shown) << "row " << static_cast<int>(row);
    }
    c.Stat(sys.Stat);
    sys.Errors = c.Errors;
    std::uint32_t errors = 0;
    CommStatus status;
    ASSERT_TRUE(port->ClearCommError(errors, status));
    EXPECT_EQ(status.Flags, c.Flags);
    EXPECT_EQ(errors, c.Errors);
}

INSTANTIATE_TEST_SUITE_P(
    Reported, Win32Status,
    ::testing::Values(
        StatusCase{"nothing", [](COMSTAT&) {}, 0, 0, false, false, {}},
        StatusCase{"xoff_received", [](COMSTAT& s) { s.fXoffHold = 1; }, 0, kXoffHold, true,
                   false, {}},
        StatusCase{"xoff_sent", [](COMSTAT& s) { s.fXoffSent = 1; }, 0, kXoffSent, false, true,
                   {}},
        StatusCase{"line_holds",
                   [](COMSTAT& s) { s.fCtsHold = s.fDsrHold = s.fRlsdHold = 1; },
                   0, kCtsHold | kDsrHold | kRlsdHold, false, false, {}},
        StatusCase{"parity", [](COMSTAT&) {}, CE_RXPARITY, 0, false, false,
                   {DriverErrorRow::Parity}},
        StatusCase{"overrun_and_frame", [](COMSTAT&) {}, CE_OVERRUN | CE_FRAME, 0, false, false,
                   {DriverErrorRow::Overrun, DriverErrorRow::Framing}},
        StatusCase{"break_and_queue_overflow_are_other", [](COMSTAT&) {}, CE_BREAK | CE_RXOVER,
                   0, false, false, {DriverErrorRow::Other}}),
    [](const auto& info) { return std::string(info.param.Name); });

class Win32Removal : public ::testing::TestWithParam<DWORD> {};

// Whichever call meets the code first, the session ends within the cycle after, without a
// message box.
TEST_P(Win32Removal, a_removal_code_from_any_call_ends_the_session_once_without_a_box) {
    for (const char* call :
         {"ClearCommError", "GetCommModemStatus", "ReadFile", "WriteFile", "GetOverlappedResult"}) {
        FakeWin32Sys sys;
        // A write kept pending makes the second cycle ask for its result instead of writing.
        sys.KeepsWrites = std::string(call) != "WriteFile";
        auto port = Win32CommPort::Open("\\\\.\\COM3", true, sys);
        ASSERT_NE(port, nullptr);
        test::RecordingView view;
        test::RecordingBox box;
        test::ManualClock clock;
        Engine engine(view, box, clock);
        CompletionEvent writeEvent;
        TransferRecord wt{&writeEvent}, rt{};
        engine.BeginSession(*port, wt, rt, TestMode::Bert, LineSettings{}, SessionParameters{});
        ASSERT_EQ(engine.Tick(), CycleResult::Continue) << call;
        sys.Fails[call] = GetParam();
        EXPECT_EQ(engine.Tick(), CycleResult::PortLost) << call;
        EXPECT_TRUE(box.Messages.empty()) << call;
        std::uint8_t b = 0;
        std::uint32_t n = 0;
        EXPECT_EQ(port->ReadFile(rt, &b, 1, n), IoResult::Gone) << call;
        sys.Fails.clear();
        EXPECT_EQ(port->ReadFile(rt, &b, 1, n), IoResult::Gone) << call << ": gone for good";
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, Win32Removal,
                         ::testing::Values(ERROR_GEN_FAILURE, ERROR_DEVICE_NOT_CONNECTED,
                                           ERROR_DEVICE_REMOVED, ERROR_INVALID_HANDLE,
                                           ERROR_FILE_NOT_FOUND, ERROR_BROKEN_PIPE,
                                           ERROR_NOT_READY, ERROR_OPERATION_ABORTED,
                                           ERROR_BAD_COMMAND, ERROR_ACCESS_DENIED));

TEST(Win32Read, a_driver_that_keeps_a_cancelled_read_is_gone_after_a_second_of_calls) {
    FakeWin32Sys sys;
    sys.KeepsReads = sys.KeepsCancelled = true;
    auto port = Win32CommPort::Open("\\\\.\\COM3", true, sys);
    ASSERT_NE(port, nullptr);
    Bytes buffer(8);
    std::uint32_t n = 0;
    TransferRecord rt{};
    for (int call = 0; call <= Win32CommPort::kCancelledReadCalls; ++call)
        ASSERT_EQ(port->ReadFile(rt, buffer.data(), 8, n), IoResult::Done) << call;
    EXPECT_EQ(port->ReadFile(rt, buffer.data(), 8, n), IoResult::Gone);
    EXPECT_EQ(std::count(sys.Calls.begin(), sys.Calls.end(), "cancel"), 1);
}

struct CloseCase {
    const char* Name;
    bool KeepsCancelled;
    int HandlesLeft;  // the events of records the driver kept stay with it
};

class Win32Close : public ::testing::TestWithParam<CloseCase> {};

TEST_P(Win32Close, a_pending_write_is_purged_and_cancelled_before_the_lines_drop_and_the_close) {
    FakeWin32Sys sys;
    sys.KeepsWrites = true;
    sys.KeepsCancelled = GetParam().KeepsCancelled;
    auto port = Win32CommPort::Open("\\\\.\\COM3", true, sys);
    ASSERT_NE(port, nullptr);
    const Bytes data(100, 0x5A);
    TransferRecord wt{};
    std::uint32_t n = 0;
    ASSERT_EQ(port->WriteFile(wt, data.data(), 100, n), IoResult::Pending);
    EXPECT_EQ(port->GetOverlappedResult(wt, n), IoResult::Pending);
    EXPECT_TRUE(port->CloseHandle());
    EXPECT_EQ(sys.Calls, (std::vector<std::string>{"purge", "cancel", "CLRDTR", "CLRRTS", "close"}));
    EXPECT_LE(sys.Waits.back(), Win32CommPort::kCancelWaitMs);
    port.reset();
    EXPECT_EQ(sys.OpenHandles, GetParam().HandlesLeft);
}

INSTANTIATE_TEST_SUITE_P(Drivers, Win32Close,
                         ::testing::Values(CloseCase{"gives_it_back", false, 0},
                                           CloseCase{"keeps_it", true, 2}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct ReadCase {
    const char* Name;
    bool KeepsReads;    // wine: a read waits for its whole count
    bool UnderReports;  // the queue query says 0
    DWORD QueryError;   // the queue query fails
};

class Win32Read : public ::testing::TestWithParam<ReadCase> {};

// Characters arrive in pieces between calls of alternating sizes; every one comes out in
// order, no call waits, and what the driver brings later never lands in the caller's buffer.
TEST_P(Win32Read, every_character_comes_out_in_order_whatever_the_queue_query_says) {
    FakeWin32Sys sys;
    sys.KeepsReads = GetParam().KeepsReads;
    sys.UnderReports = GetParam().UnderReports;
    if (GetParam().QueryError) sys.Fails["ClearCommError"] = GetParam().QueryError;
    auto port = Win32CommPort::Open("\\\\.\\COM3", true, sys);
    ASSERT_NE(port, nullptr);
    Bytes sent(300);
    std::iota(sent.begin(), sent.end(), std::uint8_t{1});
    Bytes got, buffer(64, 0xEE);
    std::uint32_t n = 0;
    TransferRecord rt{};
    auto read = [&](std::uint32_t count) {
        std::fill(buffer.begin(), buffer.end(), 0xEE);
        EXPECT_EQ(port->ReadFile(rt, buffer.data(), count, n), IoResult::Done);
        EXPECT_LE(n, count);
        got.insert(got.end(), buffer.begin(), buffer.begin() + n);
        std::uint32_t errors = 0;
        CommStatus status;
        port->ClearCommError(errors, status);
    };
    for (std::size_t at = 0; at < sent.size(); at += 100) {
        sys.Arrive(Bytes(sent.begin() + at, sent.begin() + at + 100));
        EXPECT_TRUE(std::all_of(buffer.begin() + n, buffer.end(), [](auto b) { return b == 0xEE; }))
            << "the driver wrote into the caller's buffer";
        for (std::uint32_t count : {64u, 7u, 64u, 7u, 64u}) read(count);
    }
    for (int quiet = 0; quiet < 3; ++quiet) read(64);
    EXPECT_EQ(got, sent);
    EXPECT_TRUE(std::all_of(sys.Waits.begin(), sys.Waits.end(), [](DWORD w) { return w == 0; }))
        << "a read waited";
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, Win32Read,
    ::testing::Values(ReadCase{"honours_the_timeouts", false, false, 0},
                      ReadCase{"fails_the_queue_query", false, false, ERROR_INVALID_PARAMETER},
                      ReadCase{"under_reports", false, true, 0},
                      ReadCase{"keeps_reads_like_wine", true, false, 0},
                      ReadCase{"keeps_reads_and_under_reports", true, true, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace kvartix
