#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <string>

#include "components/KivTCommandLabel.h"

namespace kvartix {
namespace {

struct PrefixCase {
    TKivCommand command;
    const char* text;
    const char* target;
};

class CommandTarget : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(CommandTarget, puts_the_prefix_once_before_the_text) {
    const PrefixCase& c = GetParam();
    EXPECT_EQ(KivCommandTarget(c.command, c.text).toStdString(), c.target);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandTarget,
    ::testing::Values(
        PrefixCase{TKivCommand::runURL, "www.example.com", "http://www.example.com"},
        PrefixCase{TKivCommand::runURL, "http://www.example.com", "http://www.example.com"},
        PrefixCase{TKivCommand::runMAIL, "info@example.com", "mailto:info@example.com"},
        PrefixCase{TKivCommand::runMAIL, "mailto:a@b.c", "mailto:a@b.c"},
        PrefixCase{TKivCommand::runFTP, "ftp.example.com", "ftp://ftp.example.com"},
        PrefixCase{TKivCommand::runFILE, "/tmp/a.txt", "file:/tmp/a.txt"},
        PrefixCase{TKivCommand::runNothing, "www.example.com", ""},
        PrefixCase{TKivCommand::runEVENT, "event", ""}));

// Pairs of a step on the label and the font colour it leaves. Steps: 'M' pointer moves inside,
// 'X' outside, 'L' leaves, 'P' left button down, 'R' up. Colours: 'n' the normal blue, 'o' the
// red of MoveOverColor, 'f' the purple of FollowedColor.
struct ColourCase {
    const char* name;
    bool active;
    std::string steps;
};

void PrintTo(const ColourCase& c, std::ostream* os) {
    *os << c.steps;
}

class LinkColours : public ::testing::TestWithParam<ColourCase> {
  protected:
    void SetUp() override {
        label.setText(QStringLiteral("www.example.com"));
        label.setGeometry(10, 10, 120, 20);
        label.SetOpener([this](const QUrl& url) { opened.push_back(url.toString()); });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void Do(char step) {
        if (step == 'L') {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(&label, &leave);
            return;
        }
        const QPoint at(step == 'X' ? 200 : 5, 5);
        const auto type = step == 'P'   ? QEvent::MouseButtonPress
                          : step == 'R' ? QEvent::MouseButtonRelease
                                        : QEvent::MouseMove;
        const auto button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const auto held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
        QMouseEvent event(type, at, label.mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(&label, &event);
    }

    char Colour() const {
        const QColor c = label.palette().color(QPalette::WindowText);
        return c == label.FontColor()       ? 'n'
               : c == label.MoveOverColor() ? 'o'
               : c == label.FollowedColor() ? 'f'
                                            : '?';
    }

    QWidget window;
    QWidget other;
    TKivCommandLabel& label = *new TKivCommandLabel(&window);
    QStringList opened;
};

TEST_P(LinkColours, follow_the_pointer_and_the_button) {
    const ColourCase& c = GetParam();
    QWidget& active = c.active ? window : other;
    active.show();
    active.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&active));
    ASSERT_EQ(window.isActiveWindow(), c.active);
    std::string got;
    for (std::size_t i = 0; i < c.steps.size(); i += 2) {
        Do(c.steps[i]);
        got += {c.steps[i], Colour()};
    }
    EXPECT_EQ(got, c.steps);
}

INSTANTIATE_TEST_SUITE_P(Steps, LinkColours,
                         ::testing::Values(ColourCase{"HoverNeverUsed", true, "MoMoLn"},
                                           ColourCase{"Click", true, "MoPnRfLf"},
                                           ColourCase{"HoverAfterUse", true, "PnRfMoLfMo"},
                                           ColourCase{"DragOffWhilePressed", true, "MoPnXfRfLf"},
                                           ColourCase{"MoveOutsideUnheldIgnored", true, "XnMo"},
                                           ColourCase{"InactiveWindow", false, "MnLnPn"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkColours, press_opens_the_target_once) {
    label.SetCommand(TKivCommand::runURL);
    Do('P');
    Do('R');
    EXPECT_EQ(opened, QStringList{"http://www.example.com"});
}

TEST_F(LinkColours, run_event_raises_the_event_and_opens_nothing) {
    QObject* sender = nullptr;
    label.SetCommand(TKivCommand::runEVENT);
    label.setText(QStringLiteral("event here"));
    label.SetRunEvent([&](QObject* s) { sender = s; });
    Do('P');
    EXPECT_EQ(sender, &label);
    EXPECT_TRUE(opened.isEmpty());
}

}  // namespace
}  // namespace kvartix
