// One set of cases for every backend: what the engine and the session code rely on.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "serial/SystemPortOpener.h"
#include "serial/posix/PosixCommPort.h"
#include "support/ManualClock.h"
#include "support/Pty.h"

namespace kvartix {
namespace {

using test::Bytes;

// A backend with a far end that sends everything back.
class PortRig {
public:
    virtual ~PortRig() = default;
    virtual std::unique_ptr<CommPort> Open() = 0;
    // Lets the line carry characters for a while.
    virtual void Pass() = 0;
    virtual bool Exclusive() const = 0;
};

// The plug is its own loopback and runs on a clock the test moves.
class LoopRig final : public PortRig {
public:
    std::unique_ptr<CommPort> Open() override { return m_opener.Open("LOOP", true); }
    void Pass() override { m_clock.AdvanceMs(10); }
    bool Exclusive() const override { return false; }

private:
    test::ManualClock m_clock;
    SystemPortOpener m_opener{m_clock};
};

// A pseudo-terminal whose master echoes; the I/O thread and the echo run in real time.
class PtyRig final : public PortRig {
public:
    std::unique_ptr<CommPort> Open() override {
        auto port = PosixCommPort::Open(SystemCalls(), m_master.SlavePath());
        if (port && !m_echo) m_echo = std::make_unique<test::PtyEcho>(m_master);
        return port;
    }
    void Pass() override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
    bool Exclusive() const override { return true; }

private:
    test::PtyMaster m_master;
    std::unique_ptr<test::PtyEcho> m_echo;
};

struct Backend {
    const char* Name;
    std::function<std::unique_ptr<PortRig>()> Make;
};

// Test listings name the backend, not the bytes of the record.
void PrintTo(const Backend& b, std::ostream* os) { *os << b.Name; }

class CommPortConformance : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        rig = GetParam().Make();
        port = rig->Open();
        ASSERT_NE(port, nullptr);
    }
    LineConfig Current() {
        LineConfig c;
        EXPECT_TRUE(port->GetCommState(c));
        return c;
    }

    // Declared before the port: the I/O thread may signal it until the port is gone.
    CompletionEvent writeEvent;
    TransferRecord wt{&writeEvent};
    TransferRecord rt{};
    std::unique_ptr<PortRig> rig;
    std::unique_ptr<CommPort> port;
};

// Frames a pseudo-terminal carries too: it has 8 data bits and no parity, whatever it is told.
TEST_P(CommPortConformance, the_configuration_reads_back_as_it_was_set) {
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
    EXPECT_EQ(rig->Open(), nullptr);
}

TEST_P(CommPortConformance, close_releases_the_port_and_every_later_call_fails) {
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
    Backends, CommPortConformance,
    ::testing::Values(Backend{"Loop", [] { return std::make_unique<LoopRig>(); }},
                      Backend{"PosixOverPty", [] { return std::make_unique<PtyRig>(); }}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace kvartix
