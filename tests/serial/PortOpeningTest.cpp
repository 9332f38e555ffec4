#include <gtest/gtest.h>

#include "serial/DevicePath.h"
#include "serial/PortOpening.h"
#include "support/FakeCommPort.h"
#include "support/Recorders.h"

namespace kvartix {
namespace {

using test::BoxMessage;
using test::FakeCommPort;
using test::FakeOpener;
using test::RecordingBox;

struct FailingStep {
    const char* Name;
    void (*Arm)(FakeCommPort::Script&);
    const char* Message;  // @ stands for this platform's path of COM3
};

std::string WithPath(std::string message) {
    const auto at = message.find('@');
    return at == std::string::npos ? message : message.replace(at, 1, DevicePathFor("COM3"));
}

class PortOpeningFailure : public ::testing::TestWithParam<FailingStep> {};

TEST_P(PortOpeningFailure, shows_its_own_text_and_leaves_no_port_open) {
    FakeOpener opener;
    GetParam().Arm(opener.Next->S);
    auto log = opener.Next->Log;
    RecordingBox box;
    LineSettings s;
    s.Port = "COM3";
    OpenedPort opened;
    EXPECT_FALSE(OpenAndConfigure(s, DeriveSessionParameters(s), opener, box, opened));
    ASSERT_EQ(box.Messages.size(), 1u);
    EXPECT_EQ(box.Messages[0], (BoxMessage{WithPath(GetParam().Message), true}));
    EXPECT_EQ(log->back(), "CloseHandle");
    EXPECT_EQ(opened.Port, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, PortOpeningFailure,
    ::testing::Values(
        FailingStep{"read", [](FakeCommPort::Script& s) { s.FailGetCommState = true; },
                    "Ошибка получения параметров @"},
        FailingStep{"queues", [](FakeCommPort::Script& s) { s.FailSetupComm = true; },
                    "Ошибка при инициализации буферов для @"},
        FailingStep{"config", [](FakeCommPort::Script& s) { s.FailSetCommState = true; },
                    "Драйвер Windows для порта @ не может работать с такими параметрами."},
        FailingStep{"timeouts", [](FakeCommPort::Script& s) { s.FailSetCommTimeouts = true; },
                    "Ошибка установки таймаутов @"},
        FailingStep{"mask", [](FakeCommPort::Script& s) { s.FailSetCommMask = true; },
                    "Fatal error 1"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PortOpening, a_port_that_does_not_open_reports_its_path_as_not_available) {
    FakeOpener opener;
    opener.Next.reset();
    RecordingBox box;
    LineSettings s;
    s.Port = "/dev/ttyUSB7";
    OpenedPort opened;
    EXPECT_FALSE(OpenAndConfigure(s, DeriveSessionParameters(s), opener, box, opened));
    EXPECT_EQ(box.Messages, (std::vector<BoxMessage>{{"/dev/ttyUSB7 не доступен", true}}));
    EXPECT_TRUE(opener.Overlapped);
}

TEST(PortOpening, a_path_over_79_characters_is_refused_before_the_open) {
    FakeOpener opener;
    RecordingBox box;
    LineSettings s;
    s.Port = "/" + std::string(79, 'x');
    OpenedPort opened;
    EXPECT_FALSE(OpenAndConfigure(s, DeriveSessionParameters(s), opener, box, opened));
    EXPECT_TRUE(opener.Paths.empty());
    EXPECT_EQ(box.Messages, (std::vector<BoxMessage>{{s.Port + " не доступен", true}}));

    s.Port = std::string(79, 'y');
    EXPECT_TRUE(OpenAndConfigure(s, DeriveSessionParameters(s), opener, box, opened));
}

TEST(PortOpening, configures_in_order_with_the_record_filled_from_the_settings) {
    FakeOpener opener;
    FakeCommPort& port = *opener.Next;
    port.Config.EofChar = 0x1A;  // fields not named keep the driver's values
    port.Config.fNull = true;
    port.Config.fAbortOnError = true;
    port.Config.fTXContinueOnXoff = true;
    RecordingBox box;
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
    ASSERT_TRUE(OpenAndConfigure(s, DeriveSessionParameters(s), opener, box, opened));
    EXPECT_TRUE(box.Messages.empty());
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

class FailingFactory final : public EventFactory {
public:
    explicit FailingFactory(int failAt) : m_failAt(failAt) {}
    std::unique_ptr<CompletionEvent> CreateEvent() override {
        return ++m_calls == m_failAt ? nullptr : EventFactory::CreateEvent();
    }

private:
    int m_failAt;
    int m_calls = 0;
};

TEST(TransferEvents, a_missing_event_is_a_fatal_error_named_after_its_record) {
    for (auto [failAt, text] : {std::pair{1, "Fatal error 2"}, std::pair{2, "Fatal error 3"}}) {
        FailingFactory factory(failAt);
        RecordingBox box;
        TransferEvents events;
        EXPECT_FALSE(CreateTransferEvents(events, factory, box));
        EXPECT_EQ(box.Messages, (std::vector<BoxMessage>{{text, true}}));
    }
    EventFactory factory;
    RecordingBox box;
    TransferEvents events;
    ASSERT_TRUE(CreateTransferEvents(events, factory, box));
    EXPECT_NE(events.WriteTransfer.Event, events.ReadTransfer.Event);
    EXPECT_EQ(events.WriteTransfer.Offset, 0u);
    EXPECT_FALSE(events.WriteTransfer.Event->IsSet());
}

}  // namespace
}  // namespace kvartix
