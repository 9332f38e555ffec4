// The cases of CommPortConformance.h, and the built-in plugs (LOOP and a cable end), which
// every build has.
#include <utility>

#include "serial/CommPortConformance.h"
#include "serial/SystemPortOpener.h"
#include "support/ManualClock.h"

namespace kvartix::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The plug is its own loopback and runs on a clock the test moves.
class LoopRig final : public PortRig {
  public:
    std::unique_ptr<CommPort> Open() override {
        PortRefusal why;
        return m_opener.Open("LOOP", true, why);
    }
    void Pass() override { m_clock.AdvanceMs(10); }
    bool Exclusive() const override { return false; }

  private:
    ManualClock m_clock;
    SystemPortOpener m_opener{m_clock};
};

// An end of the built-in cable; its far end, opened through the same opener, sends back what
// it receives at the line rate of the data case (115200 8-N-1).
class CableRig final : public PortRig {
  public:
    CableRig() {
        PortRefusal why;
        m_far = m_opener.Open("CABLE:B", true, why);
        LineConfig c;
        m_far->GetCommState(c);
        c.BaudRate = 115200;
        m_far->SetupComm(60000, 60000);
        m_far->SetCommState(c);
    }
    std::unique_ptr<CommPort> Open() override {
        PortRefusal why;
        return m_opener.Open("CABLE:A", true, why);
    }
    void Pass() override {
        m_clock.AdvanceMs(10);
        Bytes chunk(4096);
        std::uint32_t n = 0;
        m_far->ReadFile(m_rt, chunk.data(), 4096, n);
        m_echo.insert(m_echo.end(), chunk.begin(), chunk.begin() + n);
        if (m_writing && m_far->GetOverlappedResult(m_wt, n) == IoResult::Done) m_writing = false;
        if (m_writing || m_echo.empty()) return;
        m_sending = std::exchange(m_echo, {});
        m_writing =
            m_far->WriteFile(m_wt, m_sending.data(), static_cast<std::uint32_t>(m_sending.size()),
                             n) == IoResult::Pending;
    }
    bool Exclusive() const override { return true; }

  private:
    ManualClock m_clock;
    SystemPortOpener m_opener{m_clock};
    CompletionEvent m_event;
    TransferRecord m_wt{&m_event}, m_rt{};
    std::unique_ptr<CommPort> m_far;
    Bytes m_echo, m_sending;
    bool m_writing = false;
};

}  // namespace

// Frames a pseudo-terminal carries too: it has 8 data bits and no parity, whatever it is told.
TEST_P(CommPortConformance, the_configuration_reads_back_as_it_was_set) {
    if (const std::string why = rig->Limit(ConformanceCase::ReadsBack); !why.empty())
        GTEST_SKIP() << why;
    ASSERT_TRUE(port->SetupComm(1000, 1000));
    const std::vector<std::function<void(LineConfig&)>> edits = {
        [](LineConfig& c) {
            c.BaudRate = 115200;
            c.fDtrControl = DTR_CONTROL_ENABLE;
        },
        [](LineConfig& c) {
            c.BaudRate = 12345;
            c.StopBits = 2;
            c.fOutxCtsFlow = true;
            c.fRtsControl = RTS_CONTROL_HANDSHAKE;
        },
        [](LineConfig& c) {
            c.BaudRate = 300;
            c.fOutX = c.fInX = true;
            c.XonLim = 10;
            c.XoffLim = 20;
            c.fOutxDsrFlow = true;
            c.fDtrControl = DTR_CONTROL_DISABLE;
        },
        [](LineConfig& c) {
            c.BaudRate = 1000000;
            c.fRtsControl = RTS_CONTROL_ENABLE;
        },
    };
    for (std::size_t i = 0; i < edits.size(); ++i) {
        LineConfig c = Current();
        c.ByteSize = 8;
        c.Parity = 0;
        c.StopBits = 0;
        c.fOutxCtsFlow = c.fOutxDsrFlow = c.fOutX = c.fInX = false;
        c.fRtsControl = RTS_CONTROL_DISABLE;
        edits[i](c);
        ASSERT_TRUE(port->SetCommState(c)) << "configuration " << i;
        EXPECT_EQ(Current(), c) << "configuration " << i;
    }
}

TEST_P(CommPortConformance, frames_no_uart_makes_are_refused_and_leave_the_line_as_it_was) {
    if (const std::string why = rig->Limit(ConformanceCase::RefusesFrames); !why.empty())
        GTEST_SKIP() << why;
    const LineConfig before = Current();
    struct Frame {
        std::uint8_t Bits, Stop;
        std::uint32_t Rate;
    };
    for (const Frame f :
         {Frame{8, 1, 9600}, Frame{5, 2, 9600}, Frame{8, 0, 0}, Frame{9, 0, 9600}}) {
        LineConfig c = before;
        c.ByteSize = f.Bits;
        c.StopBits = f.Stop;
        c.BaudRate = f.Rate;
        EXPECT_FALSE(port->SetCommState(c)) << int(f.Bits) << " bits, stop " << int(f.Stop);
    }
    EXPECT_EQ(Current(), before);
}

TEST_P(CommPortConformance, data_comes_back_in_order_and_the_write_completes_after_the_call) {
    if (const std::string why = rig->Limit(ConformanceCase::DataInOrder); !why.empty())
        GTEST_SKIP() << why;
    ASSERT_TRUE(port->SetupComm(60000, 60000));
    LineConfig c = Current();
    c.BaudRate = 115200;
    c.ByteSize = 8;
    c.Parity = c.StopBits = 0;
    ASSERT_TRUE(port->SetCommState(c));
    Bytes data(20000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 256);

    std::uint32_t n = 0;
    ASSERT_EQ(port->WriteFile(wt, data.data(), static_cast<std::uint32_t>(data.size()), n),
              IoResult::Pending);
    Bytes got;
    bool completed = false;
    for (int pass = 0; pass < 5000 && (got.size() < data.size() || !completed); ++pass) {
        rig->Pass();
        Bytes chunk(4096);
        ASSERT_EQ(port->ReadFile(rt, chunk.data(), 4096, n), IoResult::Done);
        got.insert(got.end(), chunk.begin(), chunk.begin() + n);
        if (!completed) {
            const IoResult r = port->GetOverlappedResult(wt, n);
            ASSERT_NE(r, IoResult::Failed);
            if (r == IoResult::Done) {
                completed = true;
                EXPECT_EQ(n, data.size());
                EXPECT_TRUE(writeEvent.IsSet());
            }
        }
    }
    EXPECT_TRUE(completed);
    EXPECT_EQ(got, data);
    std::uint32_t errors = 0;
    CommStatus status;
    ASSERT_TRUE(port->ClearCommError(errors, status));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(status.InQueue, 0u);
}

TEST_P(CommPortConformance, a_second_open_fails_while_the_first_holds_the_port) {
    if (!rig->Exclusive()) GTEST_SKIP() << "every open of the plug is a plug of its own";
    if (const std::string why = rig->Limit(ConformanceCase::ExclusiveOpen); !why.empty())
        GTEST_SKIP() << why;
    EXPECT_EQ(rig->Open(), nullptr);
}

TEST_P(CommPortConformance, close_releases_the_port_and_every_later_call_fails) {
    if (const std::string why = rig->Limit(ConformanceCase::CloseReleases); !why.empty())
        GTEST_SKIP() << why;
    ASSERT_TRUE(port->CloseHandle());
    LineConfig c;
    std::uint32_t n = 0, mask = 0;
    CommStatus status;
    std::uint8_t byte = 0;
    EXPECT_FALSE(port->GetCommState(c));
    EXPECT_FALSE(port->SetCommState(c));
    EXPECT_FALSE(port->SetupComm(100, 100));
    EXPECT_EQ(port->ReadFile(rt, &byte, 1, n), IoResult::Failed);
    EXPECT_EQ(port->WriteFile(wt, &byte, 1, n), IoResult::Failed);
    EXPECT_EQ(port->GetOverlappedResult(wt, n), IoResult::Failed);
    EXPECT_FALSE(port->ClearCommError(mask, status));
    EXPECT_FALSE(port->GetCommModemStatus(mask));
    EXPECT_FALSE(port->CloseHandle());
    auto again = rig->Open();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->GetCommState(c));
}

INSTANTIATE_TEST_SUITE_P(
    Loop, CommPortConformance,
    ::testing::Values(Backend{"Plug", [] { return std::make_unique<LoopRig>(); }},
                      Backend{"Cable", [] { return std::make_unique<CableRig>(); }}),
    BackendName);

}  // namespace kvartix::test
