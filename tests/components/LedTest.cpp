#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "components/KivTLeds.h"
#include "support/EventLoop.h"

namespace kvartix {
namespace {

using test::NowMs;
using test::RunEventsFor;
using test::RunEventsUntil;

// Each pixel of a lamp: '.' the background, 'o' the grey outline, 'f' the fill, 'w' the
// highlight, '?' anything else.
using Picture = std::vector<std::string>;

// clang-format off
const Picture kLamp = {
    "...............",
    "...............",
    ".....oooooo....",
    "....offffffo...",
    "...offffffffo..",
    "..offfwwwffffo.",
    "..offwwwfffffo.",
    "..offwwffffffo.",
    "..offwfffffffo.",
    "..offffffffffo.",
    "..offffffffffo.",
    "...offffffffo..",
    "....offffffo...",
    ".....oooooo....",
    "...............",
};
// clang-format on

QImage Grab(TKivLed& led) {
    return led.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

Picture Read(const QImage& image, const QColor& background, const QColor& fill,
             const QColor& highlight) {
    Picture picture;
    for (int y = 0; y < image.height(); ++y) {
        std::string row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            row += c == qRgb(0x80, 0x80, 0x80) ? 'o'
                   : c == fill.rgb()           ? 'f'
                   : c == highlight.rgb()      ? 'w'
                   : c == background.rgb()     ? '.'
                                               : '?';
        }
        picture.push_back(row);
    }
    return picture;
}

class Lamp : public ::testing::Test {
  protected:
    Picture Look(const QColor& fill, const QColor& highlight = Qt::white) {
        return Read(Grab(led), led.palette().color(QPalette::Window), fill, highlight);
    }

    QWidget owner;
    TKivLed& led = *new TKivLed(&owner);
};

TEST_F(Lamp, a_new_lamp_is_a_15_pixel_green_circle_with_grey_outline_and_white_highlight) {
    const QImage image = Grab(led);
    EXPECT_EQ(image.size(), QSize(15, 15));
    EXPECT_EQ(Look(QColor(0x00, 0x80, 0x00)), kLamp);
    EXPECT_FALSE(led.LedisOn());
    EXPECT_EQ(led.Interval(), 200);
    EXPECT_FALSE(led.Blinking());
    EXPECT_EQ(led.focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(led.testAttribute(Qt::WA_NativeWindow));
}

struct LookCase {
    const char* Name;
    std::function<void(TKivLed&)> Set;
    QColor Fill;
    QColor Highlight;
};

void PrintTo(const LookCase& c, std::ostream* os) {
    *os << c.Name;
}

class LampLook : public Lamp, public ::testing::WithParamInterface<LookCase> {};

TEST_P(LampLook, fills_with_the_colour_of_its_state) {
    GetParam().Set(led);
    EXPECT_EQ(Look(GetParam().Fill, GetParam().Highlight), kLamp);
}

INSTANTIATE_TEST_SUITE_P(States, LampLook,
                         ::testing::Values(LookCase{"on", [](TKivLed& l) { l.SetLedisOn(true); },
                                                    QColor(0xFF, 0, 0), Qt::white},
                                           LookCase{"off_grey",
                                                    [](TKivLed& l) {
                                                        l.SetLedOnColor(Qt::yellow);
                                                        l.SetLedOffColor(Qt::gray);
                                                    },
                                                    Qt::gray, Qt::white},
                                           LookCase{"black_highlight",
                                                    [](TKivLed& l) { l.SetLedShadow(Qt::black); },
                                                    QColor(0x00, 0x80, 0x00), Qt::black}),
                         [](const auto& info) { return std::string(info.param.Name); });

// How the owner shows a lamp that is not in use.
TEST_F(Lamp, equal_on_and_off_colours_look_alike) {
    const QColor face(0xF0, 0xF0, 0xF0);
    led.SetLedOnColor(face);
    led.SetLedOffColor(face);
    const QImage off = Grab(led);
    led.SetLedisOn(true);
    const QImage on = Grab(led);
    EXPECT_EQ(on, off);
    EXPECT_EQ(Look(face), kLamp);
}

TEST_F(Lamp, a_size_of_20_by_20_is_undone) {
    const QImage before = Grab(led);
    led.setGeometry(3, 4, 20, 20);
    led.resize(20, 20);
    EXPECT_EQ(led.geometry(), QRect(3, 4, 15, 15));
    EXPECT_EQ(Grab(led), before);
}

// When the state changed, seen from the event loop as the program runs it.
std::vector<double> WatchToggles(TKivLed& led, int count, int timeoutMs) {
    std::vector<double> at;
    bool last = led.LedisOn();
    RunEventsUntil(
        [&] {
            if (led.LedisOn() != last) {
                last = led.LedisOn();
                at.push_back(NowMs());
            }
            return static_cast<int>(at.size()) >= count;
        },
        timeoutMs);
    return at;
}

TEST_F(Lamp, blinking_alternates_every_interval_and_stopping_freezes_the_state) {
    const double start = NowMs();
    led.SetBlinking(true);
    const std::vector<double> at = WatchToggles(led, 3, 3000);
    ASSERT_EQ(at.size(), 3u);
    EXPECT_TRUE(led.LedisOn());
    EXPECT_EQ(Look(QColor(0xFF, 0, 0)), kLamp);
    EXPECT_GE(at[0] - start, 195.0);
    for (size_t i = 1; i < at.size(); ++i) {
        EXPECT_GE(at[i] - at[i - 1], 190.0);
        EXPECT_LE(at[i] - at[i - 1], 500.0);
    }
    std::printf("blink toggles %.1f, %.1f, %.1f ms after start\n", at[0] - start, at[1] - start,
                at[2] - start);

    led.SetBlinking(false);
    const bool frozen = led.LedisOn();
    const QImage image = Grab(led);
    RunEventsFor(450);
    EXPECT_EQ(led.LedisOn(), frozen);
    EXPECT_EQ(Grab(led), image);
}

TEST_F(Lamp, an_interval_outside_0_to_65535_is_refused_and_changes_nothing) {
    for (const std::int32_t refused : {70000, 65536, -1}) {
        EXPECT_THROW(led.SetInterval(refused), std::out_of_range) << refused;
        EXPECT_EQ(led.Interval(), 200);
    }
    // The blink timer kept its period too.
    led.SetBlinking(true);
    const double start = NowMs();
    ASSERT_EQ(WatchToggles(led, 1, 1500).size(), 1u);
    EXPECT_LT(NowMs() - start, 700.0);

    for (const std::int32_t accepted : {0, 65535}) {
        EXPECT_NO_THROW(led.SetInterval(accepted));
        EXPECT_EQ(led.Interval(), accepted);
    }
}

TEST_F(Lamp, a_click_and_a_double_click_reach_their_handlers) {
    int clicks = 0, doubleClicks = 0;
    led.SetOnClick([&](QObject* sender) { clicks += sender == &led; });
    led.SetOnDblClick([&](QObject* sender) { doubleClicks += sender == &led; });
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));

    QTest::mouseClick(&led, Qt::LeftButton, {}, QPoint(7, 7));
    EXPECT_EQ(clicks, 1);
    // What a double click delivers: press, release, press, double click, release.
    QTest::mouseClick(&led, Qt::LeftButton, {}, QPoint(7, 7));
    QTest::mousePress(&led, Qt::LeftButton, {}, QPoint(7, 7));
    QTest::mouseDClick(&led, Qt::LeftButton, {}, QPoint(7, 7));
    QTest::mouseRelease(&led, Qt::LeftButton, {}, QPoint(7, 7));
    EXPECT_EQ(clicks, 2) << "one click, then the double click";
    EXPECT_EQ(doubleClicks, 1);
    QTest::mousePress(&led, Qt::LeftButton, {}, QPoint(7, 7));
    const int before = clicks;
    QTest::mouseRelease(&led, Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(clicks, before) << "released outside the lamp";
    QTest::mouseClick(&led, Qt::RightButton, {}, QPoint(7, 7));
    EXPECT_EQ(clicks, before);
}

TEST_F(Lamp, a_click_handler_may_delete_its_lamp) {
    auto* lamp = new TKivLed(&owner);
    auto clicks = std::make_shared<int>(0);
    lamp->SetOnClick([clicks](QObject* sender) {
        delete static_cast<TKivLed*>(sender);
        ++*clicks;
    });
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    // Through the window, as a real click comes: the widget may be gone before the release ends.
    QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, {}, lamp->mapTo(&owner, QPoint(7, 7)));
    EXPECT_EQ(*clicks, 1);
}

// At a device pixel ratio of 2 the outline spans device pixels 4 to 27: logical 2 to 13.
TEST_F(Lamp, the_circle_covers_pixels_2_to_13_at_a_pixel_ratio_of_2) {
    QImage image(30, 30, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::black);
    led.render(&image);
    QRect outline;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            if (image.pixel(x, y) == qRgb(0x80, 0x80, 0x80)) outline |= QRect(x, y, 1, 1);
    EXPECT_EQ(outline, QRect(QPoint(4, 4), QPoint(27, 27)));
}

}  // namespace
}  // namespace kvartix
