// The built-in null-modem cable: two ends opened through one opener, crossed, on a clock the
// test moves.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>

#include "serial/SystemPortOpener.h"
#include "serial/loop/VirtualCommPort.h"
#include "support/ManualClock.h"

namespace kvartix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Edit = std::function<void(LineConfig&)>;

// One end and the transfer records a session keeps for it.
struct End {
    std::unique_ptr<CommPort> Port;
    CompletionEvent WriteEvent;
    TransferRecord Wt{&WriteEvent};
    TransferRecord Rt{};
    Bytes Sending;

    void Configure(const Edit& edit = nullptr, std::uint32_t queue = 60000) {
        LineConfig c;
        ASSERT_TRUE(Port->GetCommState(c));
        c.BaudRate = 9600;  // 8-N-1: one character every 1041.67 us
        c.XonLim = c.XoffLim = static_cast<std::uint16_t>(queue / 10);
        c.fDtrControl = DTR_CONTROL_ENABLE;
        c.fRtsControl = RTS_CONTROL_ENABLE;
        if (edit) edit(c);
        ASSERT_TRUE(Port->SetupComm(queue, queue));
        ASSERT_TRUE(Port->SetCommState(c));
    }
    void Write(Bytes data) {
        Sending = std::move(data);
        std::uint32_t n = 0;
        ASSERT_EQ(
            Port->WriteFile(Wt, Sending.data(), static_cast<std::uint32_t>(Sending.size()), n),
            IoResult::Pending);
    }
    Bytes Read() {
        Bytes out(70000);
        std::uint32_t got = 0;
        EXPECT_EQ(Port->ReadFile(Rt, out.data(), 70000, got), IoResult::Done);
        out.resize(got);
        return out;
    }
    // The hold flags; the error mask in errors.
    std::uint8_t Status(std::uint32_t* errors = nullptr) {
        std::uint32_t e = 0;
        CommStatus st;
        EXPECT_TRUE(Port->ClearCommError(e, st));
        if (errors) *errors = e;
        return st.Flags;
    }
    std::uint32_t Modem() {
        std::uint32_t m = 0;
        EXPECT_TRUE(Port->GetCommModemStatus(m));
        return m;
    }
};

class Cable : public ::testing::Test {
  protected:
    void Open(End& end, const std::string& path) {
        PortRefusal why;
        end.Port = opener.Open(path, true, why);
        ASSERT_NE(end.Port, nullptr) << path << ": " << why.Reason;
    }
    void OpenBoth(const Edit& edit = nullptr, std::uint32_t queue = 60000,
                  const std::string& aPath = "CABLE:A") {
        Open(a, aPath);
        Open(b, "CABLE:B");
        a.Configure(edit, queue);
        b.Configure(edit, queue);
    }

    test::ManualClock clock;
    SystemPortOpener opener{clock};
    End a, b;
};

TEST_F(Cable, each_end_receives_what_the_other_sends_at_the_line_rate_both_ways_at_once) {
    OpenBoth();
    Bytes fromA(100), fromB(50);
    for (std::size_t i = 0; i < fromA.size(); ++i) fromA[i] = static_cast<std::uint8_t>(i);
    for (std::size_t i = 0; i < fromB.size(); ++i) fromB[i] = static_cast<std::uint8_t>(200 - i);
    a.Write(fromA);
    b.Write(fromB);
    clock.AdvanceUs(10 * 1041667 / 1000 + 1);
    EXPECT_EQ(b.Read(), Bytes(fromA.begin(), fromA.begin() + 10));
    EXPECT_EQ(a.Read(), Bytes(fromB.begin(), fromB.begin() + 10)) << "nothing of its own";
    clock.AdvanceMs(200);
    EXPECT_EQ(b.Read(), Bytes(fromA.begin() + 10, fromA.end()));
    EXPECT_EQ(a.Read(), Bytes(fromB.begin() + 10, fromB.end()));
}

struct WiringCase {
    std::uint8_t ARts, ADtr;
    std::uint32_t BModem;  // what B's lines show
};

class CableWiring : public Cable, public ::testing::WithParamInterface<WiringCase> {};

TEST_P(CableWiring, a_rts_is_b_cts_and_a_dtr_is_b_dsr_and_dcd) {
    const WiringCase c = GetParam();
    OpenBoth();
    a.Configure([&](LineConfig& l) {
        l.fRtsControl = c.ARts;
        l.fDtrControl = c.ADtr;
    });
    b.Configure([](LineConfig& l) { l.fRtsControl = l.fDtrControl = 0; });
    EXPECT_EQ(b.Modem(), c.BModem);
    EXPECT_EQ(a.Modem(), 0u) << "B's RTS and DTR are low";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CableWiring,
    ::testing::Values(WiringCase{RTS_CONTROL_ENABLE, DTR_CONTROL_ENABLE,
                                 MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON},
                      WiringCase{RTS_CONTROL_HANDSHAKE, DTR_CONTROL_DISABLE, MS_CTS_ON},
                      WiringCase{RTS_CONTROL_DISABLE, DTR_CONTROL_ENABLE, MS_DSR_ON | MS_RLSD_ON},
                      WiringCase{RTS_CONTROL_DISABLE, DTR_CONTROL_DISABLE, 0}));

TEST_F(Cable, an_end_alone_is_a_port_with_its_cable_unplugged) {
    Open(a, "CABLE:A");
    a.Configure();
    EXPECT_EQ(a.Modem(), 0u);
    a.Write(Bytes(100, 0x55));
    clock.AdvanceMs(200);
    EXPECT_TRUE(a.Read().empty());
    std::uint32_t n = 0;
    EXPECT_EQ(a.Port->GetOverlappedResult(a.Wt, n), IoResult::Done) << "it went, to nowhere";
    Open(b, "CABLE:B");
    b.Configure();
    EXPECT_EQ(a.Modem(), MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
    b.Write(Bytes(5, 0x22));
    clock.AdvanceMs(10);
    EXPECT_EQ(a.Read(), Bytes(5, 0x22));
    b.Port.reset();
    EXPECT_EQ(a.Modem(), 0u) << "unplugged again";
}

struct HoldCase {
    const char* Flow;
    Edit Config;
    std::uint8_t AHeld;  // the hold flag A shows while B does not read
    std::uint32_t AModemHeld;
    std::size_t Before;  // what B holds by then
};

class CableFlow : public Cable, public ::testing::WithParamInterface<HoldCase> {};

// B's queue of 100 fills to its threshold (10 free), and one more character with Xon/Xoff:
// A's next is on its way while B's Xoff crosses. What A sends while held waits, and all of
// it arrives once B reads again.
TEST_P(CableFlow, a_far_end_that_stops_reading_holds_the_near_end_until_it_reads_again) {
    const HoldCase c = GetParam();
    OpenBoth(c.Config, 100);
    a.Write(Bytes(300, 0x20));
    clock.AdvanceMs(500);
    EXPECT_EQ(a.Status() & ~kXoffSent, c.AHeld) << c.Flow;
    EXPECT_EQ(a.Modem(), c.AModemHeld);
    EXPECT_EQ(b.Status() & kXoffSent, c.AHeld == kXoffHold ? kXoffSent : 0) << "B's own Xoff";
    std::size_t total = b.Read().size();
    EXPECT_EQ(total, c.Before);
    clock.AdvanceMs(3);
    EXPECT_EQ(a.Status(), 0) << "freed once B read";
    for (int i = 0; i < 10; ++i) {
        clock.AdvanceMs(200);
        total += b.Read().size();
    }
    EXPECT_EQ(total, 300u);
    std::uint32_t errors = 0;
    b.Status(&errors);
    EXPECT_EQ(errors, 0u) << "nothing lost";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CableFlow,
    ::testing::Values(HoldCase{"Xon/Xoff", [](LineConfig& c) { c.fOutX = c.fInX = true; },
                               kXoffHold, MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON, 91},
                      HoldCase{"RTS/CTS",
                               [](LineConfig& c) {
                                   c.fOutxCtsFlow = true;
                                   c.fRtsControl = RTS_CONTROL_HANDSHAKE;
                               },
                               kCtsHold, MS_DSR_ON | MS_RLSD_ON, 90}));

TEST_F(Cable, under_dsr_flow_a_dtr_low_stops_b_output_and_high_lets_it_go) {
    OpenBoth([](LineConfig& c) { c.fOutxDsrFlow = true; });
    const auto dtr = [&](std::uint8_t control) {
        a.Configure([&](LineConfig& c) {
            c.fOutxDsrFlow = true;
            c.fDtrControl = control;
        });
    };
    dtr(DTR_CONTROL_DISABLE);
    b.Write(Bytes(20, 0x31));
    clock.AdvanceMs(100);
    EXPECT_EQ(b.Status(), kDsrHold);
    EXPECT_TRUE(a.Read().empty());
    dtr(DTR_CONTROL_ENABLE);
    clock.AdvanceMs(100);
    EXPECT_EQ(b.Status(), 0);
    EXPECT_EQ(a.Read().size(), 20u);
}

TEST_F(Cable, an_open_end_is_refused_as_a_device_in_use_and_opens_again_once_closed) {
    OpenBoth();
    PortRefusal why;
    EXPECT_EQ(opener.Open("cable:a:seed=3", true, why), nullptr);
    EXPECT_EQ(why, (PortRefusal{EBUSY, "CABLE:A is already open"}));
    EXPECT_EQ(opener.Open("CABLE0:B", true, why), nullptr);
    EXPECT_EQ(why.Reason, "CABLE0:B: 'CABLE0': the cable number is not one of 1..16");
    End other;
    Open(other, "CABLE2:A");
    ASSERT_TRUE(a.Port->CloseHandle());
    EXPECT_EQ(b.Modem(), 0u) << "closed is unplugged";
    Open(a, "CABLE:A");
    a.Configure();
    a.Write(Bytes{7});
    clock.AdvanceMs(2);
    EXPECT_EQ(b.Read(), Bytes{7}) << "the same cable";
    EXPECT_TRUE(other.Read().empty()) << "cable 2 is a cable of its own";
}

TEST_F(Cable, faults_act_on_what_the_end_that_names_them_receives) {
    OpenBoth(nullptr, 60000, "CABLE:A:corrupt=0.05,drop=0.02,seed=4");
    a.Write(Bytes(2000, 0x41));
    b.Write(Bytes(2000, 0x42));
    clock.AdvanceMs(3000);
    EXPECT_EQ(b.Read(), Bytes(2000, 0x41)) << "A's options leave B's side clean";
    const Bytes atA = a.Read();
    const auto& injected = dynamic_cast<VirtualCommPort&>(*a.Port).Injected();
    EXPECT_GT(injected.Corrupted, 50);
    EXPECT_GT(injected.Dropped, 20);
    EXPECT_EQ(static_cast<std::int64_t>(atA.size()), 2000 - injected.Dropped);
    EXPECT_EQ(std::count(atA.begin(), atA.end(), 0x42),
              static_cast<std::ptrdiff_t>(atA.size()) - injected.Corrupted);
}

struct FrameCase {
    std::uint32_t Rate;
    std::uint8_t Bits, Parity, Stop;
    bool Garbled;
};

class CableFrames : public Cable, public ::testing::WithParamInterface<FrameCase> {};

// A sends 9600 8-N-1; B's line decides whether it reads that.
TEST_P(CableFrames, a_line_set_differently_at_the_two_ends_garbles_with_framing_errors) {
    const FrameCase c = GetParam();
    OpenBoth();
    b.Configure([&](LineConfig& l) {
        l.BaudRate = c.Rate;
        l.ByteSize = c.Bits;
        l.Parity = c.Parity;
        l.StopBits = c.Stop;
    });
    a.Write(Bytes(200, 0x00));
    clock.AdvanceMs(300);
    const Bytes got = b.Read();
    ASSERT_EQ(got.size(), 200u) << "a character for each frame sent";
    std::uint32_t errors = 0;
    b.Status(&errors);
    EXPECT_EQ(errors, c.Garbled ? CE_FRAME : 0u);
    EXPECT_EQ(std::count(got.begin(), got.end(), 0) < 100, c.Garbled);
}

INSTANTIATE_TEST_SUITE_P(Table, CableFrames,
                         ::testing::Values(FrameCase{9600, 8, 0, 0, false},
                                           FrameCase{9700, 8, 0, 2, false},
                                           FrameCase{19200, 8, 0, 0, true},
                                           FrameCase{9600, 7, 0, 0, true},
                                           FrameCase{9600, 8, 2, 0, true}));

}  // namespace
}  // namespace kvartix
