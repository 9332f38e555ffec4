#include <gtest/gtest.h>

#include <algorithm>

#include "serial/DevicePath.h"
#include "serial/PortOpening.h"
#include "support/FakeCommPort.h"
#include "support/FailingFactory.h"

namespace kvartix {
namespace {

using test::FakeCommPort;
using test::FakeOpener;

struct FailingStep {
    const char* Name;
    void (*Arm)(FakeCommPort::Script&);
    OpenStep Step;
};

class PortOpeningFailure : public ::testing::TestWithParam<FailingStep> {};

TEST_P(PortOpeningFailure, names_its_step_and_path_and_leaves_no_port_open) {
    FakeOpener opener;
    GetParam().Arm(opener.Next->S);
    auto log = opener.Next->Log;
    LineSettings s;
    s.Port = "COM3";
    OpenedPort opened;
    const auto failure = OpenAndConfigure(s, DeriveSessionParameters(s), opener, opened);
    EXPECT_EQ(failure, (OpenFailure{GetParam().Step, DevicePathFor("COM3"), {}}));
    EXPECT_EQ(log->back(), "CloseHandle");
    EXPECT_EQ(opened.Port, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, PortOpeningFailure,
    ::testing::Values(
        FailingStep{"read", [](FakeCommPort::Script& s) { s.FailGetCommState = true; },
                    OpenStep::ReadConfig},
        FailingStep{"queues", [](FakeCommPort::Script& s) { s.FailSetupComm = true; },
                    OpenStep::Queues},
        FailingStep{"config", [](FakeCommPort::Script& s) { s.FailSetCommState = true; },
                    OpenStep::LineConfig},
        FailingStep{"timeouts", [](FakeCommPort::Script& s) { s.FailSetCommTimeouts = true; },
                    OpenStep::Timeouts},
        FailingStep{"mask", [](FakeCommPort::Script& s) { s.FailSetCommMask = true; },
                    OpenStep::EventMask}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PortOpening, a_port_that_does_not_open_fails_at_the_open_with_its_path_and_the_reason) {
    FakeOpener opener;
    opener.Next.reset();
    opener.Refusal = {13, "permission denied for /dev/ttyUSB7"};
    LineSettings s;
    s.Port = "/dev/ttyUSB7";
    OpenedPort opened;
    EXPECT_EQ(OpenAndConfigure(s, DeriveSessionParameters(s), opener, opened),
              (OpenFailure{OpenStep::Open, "/dev/ttyUSB7", {13, "permission denied for /dev/ttyUSB7"}}));
    EXPECT_TRUE(opener.Overlapped);
}

TEST(PortOpening, a_path_over_79_characters_is_refused_before_the_open) {
    FakeOpener opener;
    LineSettings s;
    s.Port = "/" + std::string(79, 'x');
    OpenedPort opened;
    EXPECT_EQ(OpenAndConfigure(s, DeriveSessionParameters(s), opener, opened),
              (OpenFailure{OpenStep::PathTooLong, s.Port, {}}));
    EXPECT_TRUE(opener.Paths.empty());

    s.Port = std::string(79, 'y');
    EXPECT_EQ(OpenAndConfigure(s, DeriveSessionParameters(s), opener, opened), std::nullopt);
}

TEST(PortOpening, a_bit_rate_below_one_fails_at_the_line_configuration_without_asking_the_driver) {
    FakeOpener opener;
    auto log = opener.Next->Log;
    LineSettings s;
    s.Port = "LOOP";
    s.BitRate = 0;
    OpenedPort opened;
    const auto failure = OpenAndConfigure(s, DeriveSessionParameters(s), opener, opened);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->Step, OpenStep::LineConfig);
    EXPECT_TRUE(OpenedBeforeFailing(*failure));
    EXPECT_EQ(
        std::count_if(log->begin(), log->end(),
                      [](const std::string& call) { return call.starts_with("SetCommState"); }),
        0);
}

TEST(PortOpening, only_steps_after_reading_the_configuration_count_as_opened) {
    for (auto [step, opened] :
         {std::pair{OpenStep::PathTooLong, false}, std::pair{OpenStep::Open, false},
          std::pair{OpenStep::ReadConfig, false}, std::pair{OpenStep::Queues, true},
          std::pair{OpenStep::EventMask, true}})
        EXPECT_EQ(OpenedBeforeFailing(OpenFailure{step, "p", {}}), opened) << OpenStepCall(step);
}

TEST(PortOpening, a_loopback_echo_keeps_sending_while_its_own_xoff_is_out) {
    for (bool keepSending : {false, true}) {
        FakeOpener opener;
        FakeCommPort& port = *opener.Next;
        LineSettings s;
        s.Port = "LOOP";
        s.XonXoff = true;
        OpenedPort opened;
        ASSERT_EQ(OpenAndConfigure(s, DeriveSessionParameters(s), opener, opened, keepSending),
                  std::nullopt);
        EXPECT_EQ(port.Config.fTXContinueOnXoff, keepSending);
    }
}

TEST(PortOpening, configures_in_order_with_the_record_filled_from_the_settings) {
    FakeOpener opener;
    FakeCommPort& port = *opener.Next;
    port.Config.EofChar = 0x1A;  // fields not named keep the driver's values
    port.Config.fNull = true;
    port.Config.fAbortOnError = true;
    port.Config.fTXContinueOnXoff = true;
    LineSettings s;
    s.Port = "LOOP";
    s.BitRate = 9600;
    s.DataBits = 7;
    s.Parity = MarkParity;
    s.StopBits = TwoStopBits;
    s.RtsCts = true;
    s.DSREnable = true;
    s.RandomFlow = true;
    OpenedPort opened;
    ASSERT_EQ(OpenAndConfigure(s, DeriveSessionParameters(s), opener, opened), std::nullopt);
    EXPECT_EQ(*port.Log, (std::vector<std::string>{"GetCommState", "SetupComm 130 130",
                                                   "SetCommState flow", "SetCommTimeouts",
                                                   "SetCommMask 32"}));
    const LineConfig& c = port.Config;
    EXPECT_EQ(c.BaudRate, 9600u);
    EXPECT_EQ(c.ByteSize, 7);
    EXPECT_EQ(c.Parity, MarkParity);
    EXPECT_EQ(c.StopBits, TwoStopBits);
    EXPECT_TRUE(c.fBinary);
    EXPECT_FALSE(c.fParity);
    EXPECT_TRUE(c.fOutxCtsFlow);
    EXPECT_TRUE(c.fOutxDsrFlow);
    EXPECT_EQ(c.fRtsControl, RTS_CONTROL_HANDSHAKE);
    EXPECT_EQ(c.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_FALSE(c.fNull);
    EXPECT_FALSE(c.fAbortOnError);
    EXPECT_FALSE(c.fTXContinueOnXoff);
    EXPECT_FALSE(c.fOutX);
    EXPECT_FALSE(c.fInX);
    // Xon/Xoff off still sets the two flow characters.
    EXPECT_EQ(c.XonChar, 0x11);
    EXPECT_EQ(c.XoffChar, 0x13);
    EXPECT_EQ(c.EofChar, 0x1A);
    // 9600 bit/s 7-M-2 is 11 bits a character: 87 a tick, queues of 130 and limits of 13.
    EXPECT_EQ(c.XonLim, 13);
    EXPECT_EQ(c.XoffLim, 13);
    EXPECT_EQ(port.Timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(port.Timeouts.WriteTotalTimeoutConstant, 0u);
}

TEST(PortOpening, limits_are_a_tenth_of_the_queue_and_dtr_rts_stay_low_when_off) {
    LineSettings s;
    s.BitRate = 9600;
    s.RandomFlow = true;
    s.DTREnable = false;
    s.XonXoff = true;
    LineConfig c;
    FillLineConfig(c, s, DeriveSessionParameters(s));
    EXPECT_EQ(c.XonLim, 14);
    EXPECT_EQ(c.XoffLim, 14);
    EXPECT_EQ(c.fDtrControl, DTR_CONTROL_DISABLE);
    EXPECT_EQ(c.fRtsControl, RTS_CONTROL_DISABLE);
    EXPECT_TRUE(c.fOutX && c.fInX);
    s.RandomFlow = false;
    FillLineConfig(c, s, DeriveSessionParameters(s));
    EXPECT_EQ(c.XoffLim, 6000);
}

TEST(TransferEvents, a_missing_event_names_its_record) {
    for (auto [failAt, record] : {std::pair{1, TransferEventFailure::WriteEvent},
                                  std::pair{2, TransferEventFailure::ReadEvent}}) {
        test::FailingFactory factory(failAt);
        TransferEvents events;
        EXPECT_EQ(CreateTransferEvents(events, factory), record);
    }
    EventFactory factory;
    TransferEvents events;
    ASSERT_EQ(CreateTransferEvents(events, factory), std::nullopt);
    EXPECT_NE(events.WriteTransfer.Event, events.ReadTransfer.Event);
    EXPECT_EQ(events.WriteTransfer.Offset, 0u);
    EXPECT_FALSE(events.WriteTransfer.Event->IsSet());
}

}  // namespace
}  // namespace kvartix
