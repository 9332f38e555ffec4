// Xon/Xoff of the posix backend over a pseudo-terminal, the test playing the far end.
#include <gtest/gtest.h>

#include <algorithm>

#include "serial/posix/PosixCommPort.h"
#include "testkit/Pty.h"

namespace kvartix {
namespace {

using test::Bytes;
using test::Eventually;

class PosixXonXoff : public ::testing::Test {
  protected:
    void Open(std::uint32_t queue, std::uint16_t limit) {
        port = PosixCommPort::Open(SystemCalls(), master.SlavePath());
        ASSERT_NE(port, nullptr);
        LineConfig c;
        ASSERT_TRUE(port->GetCommState(c));
        c.BaudRate = 115200;
        c.ByteSize = 8;
        c.Parity = c.StopBits = 0;
        c.fOutX = c.fInX = true;
        c.XonLim = c.XoffLim = limit;
        ASSERT_TRUE(port->SetupComm(queue, queue));
        ASSERT_TRUE(port->SetCommState(c));
    }
    std::uint8_t Flags() {
        std::uint32_t errors = 0;
        CommStatus status;
        EXPECT_TRUE(port->ClearCommError(errors, status));
        lastErrors = errors;
        return status.Flags;
    }
    Bytes Read(std::uint32_t count) {
        Bytes out(count);
        std::uint32_t got = 0;
        EXPECT_EQ(port->ReadFile(rt, out.data(), count, got), IoResult::Done);
        out.resize(got);
        return out;
    }
    bool Received(std::uint64_t n) {
        return Eventually([&] { return port->TrafficSoFar().Received == n; });
    }

    test::PtyMaster master;
    // Declared before the port: the I/O thread may signal it until the port is gone.
    CompletionEvent writeEvent;
    TransferRecord wt{&writeEvent};
    TransferRecord rt{};
    std::unique_ptr<PosixCommPort> port;
    std::uint32_t lastErrors = 0;
};

TEST_F(PosixXonXoff, a_received_xoff_holds_output_an_xon_resumes_it_and_neither_reaches_the_data) {
    Open(1000, 100);
    master.Send(Bytes{'A', kXoffChar, 'B'});
    ASSERT_TRUE(Received(3));
    EXPECT_EQ(Flags(), kXoffHold);
    EXPECT_EQ(Read(100), (Bytes{'A', 'B'}));

    Bytes data(3000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(0x20 + i % 90);
    std::uint32_t n = 0;
    ASSERT_EQ(port->WriteFile(wt, data.data(), 3000, n), IoResult::Pending);
    // Nothing leaves while held; the engine keeps finding the write in flight.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(master.Available().empty());
    EXPECT_EQ(port->GetOverlappedResult(wt, n), IoResult::Pending);
    // Held, with our input free: our Xon goes out all the same, ahead of the held write.
    EXPECT_TRUE(port->TransmitXon());
    EXPECT_EQ(master.Receive(1), Bytes{kXonChar});

    master.Send(Bytes{'C', kXonChar});
    EXPECT_EQ(master.Receive(3000), data);
    EXPECT_TRUE(Eventually([&] { return port->GetOverlappedResult(wt, n) == IoResult::Done; }));
    EXPECT_EQ(n, 3000u);
    EXPECT_EQ(Flags(), 0);
    EXPECT_EQ(Read(100), (Bytes{'C'}));
    EXPECT_EQ(lastErrors, 0u);
}

TEST_F(PosixXonXoff, an_xoff_stops_a_write_already_under_way) {
    Open(1000, 100);
    Bytes data(60000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i % 251 & 0x7F) | 0x20;
    std::uint32_t n = 0;
    // The pseudo-terminal holds about 12 KB until the far end reads, so the write is
    // still going when the Xoff arrives.
    ASSERT_EQ(port->WriteFile(wt, data.data(), 60000, n), IoResult::Pending);
    master.Send(kXoffChar);
    ASSERT_TRUE(Received(1));
    // What the kernel already held still comes; after that the line is quiet.
    Bytes got;
    Eventually([&] {
        const Bytes more = master.Available();
        got.insert(got.end(), more.begin(), more.end());
        return more.empty() && port->TrafficSoFar().Sent == got.size();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(master.Available().empty());
    ASSERT_LT(got.size(), data.size()) << "the pseudo-terminal took the whole write at once";
    EXPECT_EQ(port->GetOverlappedResult(wt, n), IoResult::Pending);
    EXPECT_EQ(Flags(), kXoffHold);

    master.Send(kXonChar);
    const Bytes rest = master.Receive(data.size() - got.size());
    got.insert(got.end(), rest.begin(), rest.end());
    EXPECT_EQ(got, data);
    // The buffer is the port's until the completion has been seen.
    EXPECT_TRUE(Eventually([&] { return port->GetOverlappedResult(wt, n) == IoResult::Done; }));
}

// Queues of a session at random data speed: 1728 characters, thresholds 172. The far end
// takes the characters at the line's rate, then sends Xoff; what follows fits well within the
// room its own XoffLim keeps.
TEST_F(PosixXonXoff, a_far_end_reading_at_line_rate_gets_little_after_its_xoff) {
    Open(1728, 172);
    Bytes data(20000, 'd');
    std::uint32_t n = 0;
    ASSERT_EQ(port->WriteFile(wt, data.data(), 20000, n), IoResult::Pending);
    std::size_t taken = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto now = start; now - start < std::chrono::milliseconds(200);
         now = std::chrono::steady_clock::now()) {
        const auto due = static_cast<std::size_t>(
            11.52 * std::chrono::duration<double, std::milli>(now - start).count());
        std::uint8_t buf[4096];
        const ssize_t got = ::read(master.Fd(), buf, std::min(sizeof buf, due - taken));
        if (got > 0) taken += static_cast<std::size_t>(got);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GT(taken, 1500u);
    // What waits in the pseudo-terminal was on the line before the Xoff; a reader that a busy
    // machine held back takes it now, so only what the port sends after the Xoff is counted.
    master.Available();
    master.Send(kXoffChar);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(master.Available().size(), 86u);
    port->CloseHandle();  // the write is still held, and its buffer goes with this scope
}

// 144-character queue, thresholds 14: Xoff once fewer than 14 are free, Xon at 14 or fewer.
TEST_F(PosixXonXoff, crossing_the_threshold_sends_one_xoff_and_draining_sends_one_xon) {
    Open(144, 14);
    master.Send(Bytes(129, 'a'));
    ASSERT_TRUE(Received(129));
    EXPECT_EQ(Flags(), 0) << "15 free is above the threshold";
    master.Send(Bytes(1, 'a'));
    ASSERT_TRUE(Received(130));
    EXPECT_EQ(Flags(), kXoffSent) << "14 free is at the threshold";
    master.Send(Bytes(5, 'b'));
    ASSERT_TRUE(Received(135));
    EXPECT_EQ(master.Receive(1), Bytes{kXoffChar});
    EXPECT_FALSE(port->TransmitXon()) << "our own Xoff stands while the queue is full";
    const Bytes out(3, 'w');
    std::uint32_t n = 0;
    EXPECT_EQ(port->WriteFile(wt, out.data(), 3, n), IoResult::Pending);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(master.Available().empty()) << "our own Xoff holds our output";

    EXPECT_EQ(Read(100).size(), 100u);
    EXPECT_EQ(Read(20).size(), 20u);
    EXPECT_EQ(Flags(), kXoffSent) << "15 still queued";
    EXPECT_EQ(Read(1).size(), 1u);
    EXPECT_EQ(Flags(), 0);
    EXPECT_EQ(master.Receive(4), (Bytes{kXonChar, 'w', 'w', 'w'})) << "our Xon lets it go";
    EXPECT_EQ(Read(100).size(), 14u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(master.Available().empty()) << "one of each";
    EXPECT_EQ(lastErrors, 0u);
}

TEST_F(PosixXonXoff, without_flow_control_the_flow_characters_are_data) {
    port = PosixCommPort::Open(SystemCalls(), master.SlavePath());
    ASSERT_NE(port, nullptr);
    ASSERT_TRUE(port->SetupComm(100, 100));
    master.Send(Bytes{kXoffChar, kXonChar, 'x'});
    ASSERT_TRUE(Received(3));
    EXPECT_EQ(Read(10), (Bytes{kXoffChar, kXonChar, 'x'}));
    EXPECT_EQ(Flags(), 0);
}

}  // namespace
}  // namespace kvartix
