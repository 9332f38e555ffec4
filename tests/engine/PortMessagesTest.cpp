#include <gtest/gtest.h>

#include "engine/PortMessages.h"
#include "engine/TestSession.h"
#include "support/FailingFactory.h"
#include "support/FakeCommPort.h"
#include "support/ManualClock.h"
#include "support/Recorders.h"

namespace kvartix {
namespace {

using test::BoxMessage;
using test::RecordingBox;

struct StepText {
    OpenStep Step;
    const char* Text;  // @ stands for the path
};

TEST(PortMessages, every_opening_step_has_its_own_text_with_the_path_opened) {
    const StepText table[] = {
        {OpenStep::PathTooLong, "@ не доступен"},
        {OpenStep::Open, "@ не доступен"},
        {OpenStep::ReadConfig, "Ошибка получения параметров @"},
        {OpenStep::Queues, "Ошибка при инициализации буферов для @"},
        {OpenStep::LineConfig,
         "Драйвер Windows для порта @ не может работать с такими параметрами."},
        {OpenStep::Timeouts, "Ошибка установки таймаутов @"},
        {OpenStep::EventMask, "Fatal error 1"},
    };
    const std::string path = "/dev/ttyUSB7";
    for (const StepText& row : table) {
        std::string expected = row.Text;
        if (const auto at = expected.find('@'); at != std::string::npos)
            expected.replace(at, 1, path);
        EXPECT_EQ(OpenFailureText(OpenFailure{row.Step, path, {}}), expected) << OpenStepCall(row.Step);
    }
}

TEST(PortMessages, a_refused_open_keeps_its_text_first_and_says_why_on_a_line_of_its_own) {
    const OpenFailure held{OpenStep::Open, "/dev/ttyUSB0", {11, "/dev/ttyUSB0 is locked by process 42"}};
    EXPECT_EQ(OpenFailureMessage(held),
              "/dev/ttyUSB0 не доступен\n/dev/ttyUSB0 is locked by process 42");
    EXPECT_EQ(OpenFailureMessage(OpenFailure{OpenStep::Open, "/dev/ttyUSB0", {2, ""}}),
              "/dev/ttyUSB0 не доступен");
}

TEST(PortMessages, a_missing_transfer_event_is_a_fatal_error_named_after_its_record) {
    for (auto [failAt, text] : {std::pair{1, "Fatal error 2"}, std::pair{2, "Fatal error 3"}}) {
        test::FailingFactory factory(failAt);
        RecordingBox box;
        TransferEvents events;
        EXPECT_FALSE(CreateTransferEvents(events, factory, box));
        EXPECT_EQ(box.Messages, (std::vector<BoxMessage>{{text, true}}));
    }
    EventFactory factory;
    RecordingBox box;
    TransferEvents events;
    EXPECT_TRUE(CreateTransferEvents(events, factory, box));
    EXPECT_TRUE(box.Messages.empty());
}

// A start that fails shows the step's text once; the chart takes the new axis only when
// the port had opened.
TEST(PortMessages, a_failed_start_shows_one_message_and_moves_the_axis_only_past_the_open) {
    struct Case {
        void (*Arm)(test::FakeCommPort::Script&);
        bool OpenFails;
        const char* Text;
        bool AxisMoved;
    };
    const Case cases[] = {
        {[](test::FakeCommPort::Script&) {}, true, "LOOP не доступен", false},
        {[](test::FakeCommPort::Script& s) { s.FailGetCommState = true; }, false,
         "Ошибка получения параметров LOOP", false},
        {[](test::FakeCommPort::Script& s) { s.FailSetCommTimeouts = true; }, false,
         "Ошибка установки таймаутов LOOP", true},
    };
    for (const Case& c : cases) {
        test::ManualClock clock;
        test::RecordingView view;
        RecordingBox box;
        EventFactory factory;
        TransferEvents events;
        ASSERT_TRUE(CreateTransferEvents(events, factory, box));
        test::FakeOpener opener;
        if (c.OpenFails)
            opener.Next.reset();
        else
            c.Arm(opener.Next->S);
        Engine engine(view, box, clock);
        TestSession session(engine, view, opener, box, events);
        LineSettings s;
        s.Port = "LOOP";
        s.BitRate = 300;
        EXPECT_FALSE(session.Start(TestMode::Bert, s));
        EXPECT_EQ(box.Messages, (std::vector<BoxMessage>{{c.Text, true}}));
        EXPECT_EQ(engine.Chart().AxisBitRate() == 300, c.AxisMoved) << c.Text;
        EXPECT_EQ(session.Port(), nullptr);
    }
}

}  // namespace
}  // namespace kvartix
