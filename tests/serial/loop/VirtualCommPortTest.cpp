#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "serial/PortOpening.h"
#include "serial/loop/VirtualCommPort.h"
#include "support/ManualClock.h"

namespace kvartix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A plug configured like a session at 9600 bit/s 8-N-1: one character every 1041.67 us.
class LoopPlug : public ::testing::Test {
protected:
    void Configure(std::function<void(LineConfig&)> edit = nullptr, std::uint32_t queue = 60000) {
        LineConfig c;
        ASSERT_TRUE(port.GetCommState(c));
        c.BaudRate = 9600;
        c.ByteSize = 8;
        c.XonLim = c.XoffLim = static_cast<std::uint16_t>(queue / 10);
        c.fDtrControl = DTR_CONTROL_ENABLE;
        if (edit) edit(c);
        ASSERT_TRUE(port.SetupComm(queue, queue));
        ASSERT_TRUE(port.SetCommState(c));
    }
    Bytes ReadAll() {
        Bytes out(70000);
        std::uint32_t got = 0;
        EXPECT_EQ(port.ReadFile(rt, out.data(), static_cast<std::uint32_t>(out.size()), got),
                  IoResult::Done);
        out.resize(got);
        return out;
    }
    std::uint8_t Status() {
        std::uint32_t errors = 0;
        CommStatus st;
        EXPECT_TRUE(port.ClearCommError(errors, st));
        lastErrors = errors;
        return st.Flags;
    }

    test::ManualClock clock;
    VirtualCommPort port{clock};
    CompletionEvent writeEvent;
    TransferRecord wt{&writeEvent};
    TransferRecord rt{};
    std::uint32_t lastErrors = 0;
};

TEST_F(LoopPlug, characters_arrive_one_frame_time_apart_in_order) {
    Configure();
    Bytes data{1, 2, 3, 4, 5};
    std::uint32_t written = 0;
    ASSERT_EQ(port.WriteFile(wt, data.data(), 5, written), IoResult::Pending);
    clock.AdvanceUs(1041);
    EXPECT_TRUE(ReadAll().empty());
    clock.AdvanceUs(1);
    EXPECT_EQ(ReadAll(), (Bytes{1}));
    clock.AdvanceUs(3 * 1042);
    EXPECT_EQ(ReadAll(), (Bytes{2, 3, 4}));
    clock.AdvanceUs(10000);
    EXPECT_EQ(ReadAll(), (Bytes{5}));
}

TEST_F(LoopPlug, the_frame_counts_parity_and_stop_bits) {
    Configure([](LineConfig& c) {
        c.BaudRate = 1100;  // 7-E-2: 11 bits, exactly 10 ms a character
        c.ByteSize = 7;
        c.Parity = 2;
        c.StopBits = 2;
    });
    Bytes data(10, 0x41);
    std::uint32_t w = 0;
    port.WriteFile(wt, data.data(), 10, w);
    clock.AdvanceMs(35);
    EXPECT_EQ(ReadAll().size(), 3u);
    clock.AdvanceMs(65);
    EXPECT_EQ(ReadAll().size(), 7u);
}

TEST_F(LoopPlug, bits_above_the_data_bits_never_arrive) {
    Configure([](LineConfig& c) { c.ByteSize = 5; });
    Bytes data{0xFF, 0x5A};
    std::uint32_t w = 0;
    port.WriteFile(wt, data.data(), 2, w);
    clock.AdvanceMs(100);
    EXPECT_EQ(ReadAll(), (Bytes{0x1F, 0x1A}));
}

TEST_F(LoopPlug, a_write_completes_when_its_last_character_entered_the_transmit_queue) {
    Configure(nullptr, 4096);
    Bytes data(5000, 0x55);
    std::uint32_t n = 0;
    ASSERT_EQ(port.WriteFile(wt, data.data(), 5000, n), IoResult::Pending);
    EXPECT_EQ(port.GetOverlappedResult(wt, n), IoResult::Pending);
    EXPECT_FALSE(writeEvent.IsSet());
    // 904 characters must leave before the last 4096 fit the queue of the SetupComm size.
    clock.AdvanceUs(903 * 1041667 / 1000);
    EXPECT_EQ(port.GetOverlappedResult(wt, n), IoResult::Pending);
    EXPECT_FALSE(writeEvent.IsSet());
    clock.AdvanceUs(2000);
    EXPECT_EQ(port.GetOverlappedResult(wt, n), IoResult::Done);
    EXPECT_TRUE(writeEvent.IsSet());
    EXPECT_EQ(n, 5000u);
    // Even a one-byte write into a free buffer reports itself queued; the query tells.
    clock.AdvanceMs(5000);
    ASSERT_EQ(port.WriteFile(wt, data.data(), 1, n), IoResult::Pending);
    EXPECT_EQ(port.GetOverlappedResult(wt, n), IoResult::Done);
    EXPECT_EQ(n, 1u);
}

TEST_F(LoopPlug, a_full_receive_queue_drops_characters_and_reports_rxover) {
    Configure(nullptr, 100);
    Bytes data(150);
    std::iota(data.begin(), data.end(), std::uint8_t{0});
    std::uint32_t w = 0;
    port.WriteFile(wt, data.data(), 150, w);
    clock.AdvanceMs(1000);
    EXPECT_EQ(Status(), 0);
    EXPECT_EQ(lastErrors, CE_RXOVER);
    Status();
    EXPECT_EQ(lastErrors, 0u) << "the mask is cleared by the query";
    const Bytes got = ReadAll();
    ASSERT_EQ(got.size(), 100u);
    EXPECT_EQ(got.back(), 99);
}

TEST_F(LoopPlug, xon_xoff_stops_output_at_the_threshold_and_resumes_once_drained) {
    Configure([](LineConfig& c) { c.fOutX = c.fInX = true; }, 100);
    Bytes data(300, 0x20);
    std::uint32_t w = 0;
    port.WriteFile(wt, data.data(), 300, w);
    // 90 characters leave 10 free, XoffLim: Xoff goes out, comes back and holds us.
    clock.AdvanceMs(500);
    EXPECT_EQ(Status(), kXoffHold | kXoffSent);
    std::size_t total = ReadAll().size();
    EXPECT_EQ(total, 90u);
    EXPECT_EQ(Status(), kXoffHold | kXoffSent) << "still held until Xon has gone out";
    clock.AdvanceMs(2);
    EXPECT_EQ(Status(), 0);
    // Flow characters never reach the data: exactly what was written arrives.
    for (int i = 0; i < 10; ++i) {
        clock.AdvanceMs(200);
        total += ReadAll().size();
    }
    EXPECT_EQ(total, 300u);
    EXPECT_EQ(lastErrors, 0u);
}

TEST_F(LoopPlug, rts_handshake_holds_output_through_the_plug_wiring) {
    Configure(
        [](LineConfig& c) {
            c.fOutxCtsFlow = true;
            c.fRtsControl = RTS_CONTROL_HANDSHAKE;
        },
        100);
    std::uint32_t modem = 0;
    ASSERT_TRUE(port.GetCommModemStatus(modem));
    EXPECT_EQ(modem, MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON);
    Bytes data(300, 0x20);
    std::uint32_t w = 0;
    port.WriteFile(wt, data.data(), 300, w);
    clock.AdvanceMs(500);
    EXPECT_EQ(Status(), kCtsHold);
    ASSERT_TRUE(port.GetCommModemStatus(modem));
    EXPECT_EQ(modem, MS_DSR_ON | MS_RLSD_ON);
    EXPECT_EQ(ReadAll().size(), 90u);
    EXPECT_EQ(Status(), 0);
    EXPECT_EQ(lastErrors, 0u);
}

TEST_F(LoopPlug, dsr_flow_with_dtr_low_holds_output_for_good) {
    Configure([](LineConfig& c) {
        c.fOutxDsrFlow = true;
        c.fDtrControl = DTR_CONTROL_DISABLE;
    });
    Bytes data{1};
    std::uint32_t w = 0;
    port.WriteFile(wt, data.data(), 1, w);
    clock.AdvanceMs(100);
    EXPECT_EQ(Status(), kDsrHold);
    EXPECT_TRUE(ReadAll().empty());
    std::uint32_t modem = 0;
    ASSERT_TRUE(port.GetCommModemStatus(modem));
    EXPECT_EQ(modem, 0u) << "RTS disabled and DTR low: no CTS, DSR or DCD";
}

TEST_F(LoopPlug, refuses_frames_a_uart_cannot_make_and_fails_after_close) {
    LineConfig c;
    port.GetCommState(c);
    c.StopBits = 1;
    c.ByteSize = 8;
    EXPECT_FALSE(port.SetCommState(c));
    c.ByteSize = 5;
    EXPECT_TRUE(port.SetCommState(c));
    c.StopBits = 2;
    EXPECT_FALSE(port.SetCommState(c));
    c.ByteSize = 6;
    c.BaudRate = 0;
    EXPECT_FALSE(port.SetCommState(c));
    EXPECT_TRUE(port.CloseHandle());
    EXPECT_FALSE(port.GetCommState(c));
    EXPECT_FALSE(port.CloseHandle());
    std::uint32_t n = 0;
    EXPECT_EQ(port.ReadFile(rt, nullptr, 0, n), IoResult::Failed);
}

TEST(LoopImpairment, counts_what_it_injected_and_a_seed_repeats_a_run) {
    auto run = [](LoopImpairments imp) {
        test::ManualClock clock;
        VirtualCommPort port(clock, imp);
        LineConfig c;
        port.GetCommState(c);
        c.BaudRate = 1000000;
        port.SetupComm(60000, 60000);
        port.SetCommState(c);
        Bytes data(50000, 0x42), got(60000);
        CompletionEvent ev;
        TransferRecord t{&ev};
        std::uint32_t n = 0;
        port.WriteFile(t, data.data(), 50000, n);
        clock.AdvanceMs(1000);
        port.ReadFile(t, got.data(), 60000, n);
        got.resize(n);
        return std::pair{port.Injected(), got};
    };
    const auto [injected, got] = run({0.01, 0.02, 0.005, 7});
    EXPECT_NEAR(injected.Dropped, 1000, 150);
    EXPECT_NEAR(injected.Corrupted, 490, 110);
    EXPECT_NEAR(injected.Inserted, 245, 80);
    EXPECT_EQ(static_cast<std::int64_t>(got.size()), 50000 - injected.Dropped + injected.Inserted);
    const auto again = run({0.01, 0.02, 0.005, 7});
    EXPECT_EQ(again.second, got);
}

}  // namespace
}  // namespace kvartix
