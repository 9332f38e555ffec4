#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <string>
#include <vector>

#include "components/KivTCommandLabel.h"

namespace kvartix {
namespace {

struct PrefixCase {
    TKivCommand command;
    const char* text;
    const char* target;
};

class CommandTarget : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(CommandTarget, PutsThePrefixOnceBeforeTheText) {
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

// One pointer or button step on the label, and the font colour it leaves: 'n' the normal blue,
// 'o' the red of MoveOverColor, 'f' the purple of FollowedColor.
enum Step { Move, MoveOff, Leave, Press, Release };

struct ColourCase {
    const char* name;
    bool active;
    std::vector<std::pair<Step, char>> steps;
};

class LinkColours : public ::testing::TestWithParam<ColourCase> {
  protected:
    void SetUp() override {
        label.setText(QStringLiteral("www.example.com"));
        label.setGeometry(10, 10, 120, 20);
        label.SetOpener(
            [this](const QUrl& url) { opened.push_back(url.toString().toStdString()); });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    void Do(Step step) {
        const QPoint inside(5, 5);
        switch (step) {
            case Move:
                Mouse(QEvent::MouseMove, inside, Qt::NoButton);
                break;
            case MoveOff:
                Mouse(QEvent::MouseMove, {200, 5}, Qt::NoButton);
                break;
            case Leave: {
                QEvent leave(QEvent::Leave);
                QApplication::sendEvent(&label, &leave);
                break;
            }
            case Press:
                Mouse(QEvent::MouseButtonPress, inside, Qt::LeftButton);
                break;
            case Release:
                Mouse(QEvent::MouseButtonRelease, inside, Qt::LeftButton);
                break;
        }
    }

    char Colour() const {
        const QColor c = label.palette().color(QPalette::WindowText);
        return c == label.FontColor()       ? 'n'
               : c == label.MoveOverColor() ? 'o'
               : c == label.FollowedColor() ? 'f'
                                            : '?';
    }

    void Mouse(QEvent::Type type, const QPoint& at, Qt::MouseButton button) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton
                                      : m_held                           ? Qt::LeftButton
                                                                         : button;
        if (type == QEvent::MouseButtonPress) m_held = true;
        if (type == QEvent::MouseButtonRelease) m_held = false;
        QMouseEvent event(type, at, label.mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(&label, &event);
    }

    QWidget window;
    QWidget other;
    TKivCommandLabel& label = *new TKivCommandLabel(&window);
    std::vector<std::string> opened;

  private:
    bool m_held = false;
};

TEST_P(LinkColours, FollowThePointerAndTheButton) {
    const ColourCase& c = GetParam();
    if (c.active) {
        QApplication::setActiveWindow(&window);
    } else {
        other.show();
        QApplication::setActiveWindow(&other);
    }
    ASSERT_EQ(window.isActiveWindow(), c.active);
    std::string got, want;
    for (const auto& [step, colour] : c.steps) {
        Do(step);
        got += Colour();
        want += colour;
    }
    EXPECT_EQ(got, want);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, LinkColours,
    ::testing::Values(
        ColourCase{"HoverNeverUsed", true, {{Move, 'o'}, {Move, 'o'}, {Leave, 'n'}}},
        ColourCase{"Click", true, {{Move, 'o'}, {Press, 'n'}, {Release, 'f'}, {Leave, 'f'}}},
        ColourCase{"HoverAfterUse",
                   true,
                   {{Press, 'n'}, {Release, 'f'}, {Move, 'o'}, {Leave, 'f'}, {Move, 'o'}}},
        ColourCase{"DragOffWhilePressed",
                   true,
                   {{Move, 'o'}, {Press, 'n'}, {MoveOff, 'f'}, {Release, 'f'}, {Leave, 'f'}}},
        ColourCase{"InactiveWindow", false, {{Move, 'n'}, {Leave, 'n'}, {Press, 'n'}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkColours, PressOpensTheTargetOnce) {
    label.SetCommand(TKivCommand::runURL);
    Do(Press);
    Do(Release);
    EXPECT_EQ(opened, std::vector<std::string>{"http://www.example.com"});
}

TEST_F(LinkColours, RunEventRaisesTheEventAndOpensNothing) {
    QObject* sender = nullptr;
    label.SetCommand(TKivCommand::runEVENT);
    label.setText(QStringLiteral("event here"));
    label.SetRunEvent([&](QObject* s) { sender = s; });
    Do(Press);
    EXPECT_EQ(sender, &label);
    EXPECT_TRUE(opened.empty());
}

}  // namespace
}  // namespace kvartix
