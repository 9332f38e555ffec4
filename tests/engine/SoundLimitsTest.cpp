#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "engine/RateChart.h"
#include "engine/Statistics.h"
#include "support/LoopRun.h"
#include "support/ManualClock.h"

namespace kvartix {
namespace {

using test::LoopRun;
using test::ManualClock;

struct RateCase {
    std::int32_t BitRate;
    bool Starts;
    std::int32_t AxisStep;  // of a started session
};

class BitRateLimits : public ::testing::TestWithParam<RateCase> {};

// Thirty simulated seconds carry a character even at 1 bit/s, with either data speed.
TEST_P(BitRateLimits, refuse_below_one_and_move_data_from_one_up) {
    const RateCase c = GetParam();
    for (const bool random : {false, true}) {
        SCOPED_TRACE(random ? "random data speed" : "maximum data speed");
        ManualClock clock;
        LoopRun run(clock);
        LineSettings s;
        s.BitRate = c.BitRate;
        s.RandomFlow = random;
        ASSERT_EQ(run.session.Start(TestMode::Bert, s), c.Starts);
        if (!c.Starts) {
            ASSERT_EQ(run.box.Messages.size(), 1u);
            EXPECT_EQ(run.box.Messages[0].Text,
                      "Драйвер Windows для порта LOOP не может работать с такими параметрами.");
            EXPECT_EQ(run.session.Port(), nullptr);
            EXPECT_EQ(run.engine.Chart().AxisBitRate(), 0) << "the axis is left as it was";
            continue;
        }
        EXPECT_EQ(run.engine.Chart().LabelStep(), c.AxisStep);
        run.Cycles(clock, 300);
        EXPECT_GT(run.engine.Counters().Received, 0);
        EXPECT_TRUE(run.box.Messages.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, BitRateLimits,
                         ::testing::Values(RateCase{-9600, false, 0}, RateCase{0, false, 0},
                                           RateCase{1, true, 1}, RateCase{3, true, 1},
                                           RateCase{35, true, 8}, RateCase{50, true, 12},
                                           RateCase{110, true, 27}),
                         [](const auto& info) {
                             const std::int32_t r = info.param.BitRate;
                             return (r < 0 ? "minus" + std::to_string(-r) : std::to_string(r)) +
                                    "_bit_per_s";
                         });

TEST(RateAxisLimits, a_doubled_axis_stops_at_the_largest_rate) {
    RateChart chart;
    chart.SetRateAxis(2'000'000'000);
    chart.DoubleAxis();
    EXPECT_EQ(chart.AxisBitRate(), 2'147'483'647);
    EXPECT_GT(chart.AxisMaximum(), 0);
}

// Qt sets LC_NUMERIC from the environment once a window exists.
TEST(NumberTexts, ignore_a_decimal_comma_locale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* comma = nullptr;
    for (const char* name : {"ru_RU.UTF-8", "de_DE.UTF-8", "ru_RU.utf8", "de_DE.utf8"})
        if ((comma = std::setlocale(LC_NUMERIC, name))) break;
    if (!comma)
        GTEST_SKIP() << "no locale with a decimal comma is installed (scripts/install-deps.sh "
                        "generates ru_RU.UTF-8)";
    EXPECT_EQ(FormatAxisLabel(2400), "2400");
    EXPECT_EQ(FormatAxisLabel(29.25), "29.25");
    EXPECT_EQ(FormatAxisLabel(29.25, ','), "29,25");
    EXPECT_EQ(CoefficientText(1, 1000, '.'), "1.0E-03");
    EXPECT_EQ(CoefficientText(1, 1000, ','), "1,0E-03");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumberTexts, coefficient_rounds_half_away_from_zero) {
    EXPECT_EQ(CoefficientText(1, 8, '.'), "1.3E-01");
    EXPECT_EQ(CoefficientText(5, 8, '.'), "6.3E-01");
    EXPECT_EQ(CoefficientText(995, 1000, '.'), "1.0E+00");
    EXPECT_EQ(CoefficientText(3, 2, '.'), "1.5E+00");
    EXPECT_EQ(CoefficientText(1, 1'000'000'000'000, '.'), "1.0E-12");
    EXPECT_EQ(CoefficientText(0, 5, '.'), "0.0E+00");
}

TEST(ErrorsCell, belongs_to_the_session_that_set_it) {
    ManualClock clock;
    LoopRun run(clock);
    LineSettings s;
    s.Port = "LOOP:corrupt=1,seed=1";
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    run.Cycles(clock, 20);
    EXPECT_TRUE(run.view.ErrorsAlarm) << "never synchronised";
    s.PacketSize = 1;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    run.Cycles(clock, 1);
    EXPECT_FALSE(run.view.ErrorsAlarm);
    s.PacketSize = 512;
    ASSERT_TRUE(run.session.Start(TestMode::Bert, s));
    run.Cycles(clock, 1);
    EXPECT_TRUE(run.view.ErrorsAlarm);
    ASSERT_TRUE(run.session.Start(TestMode::Loopback, s));
    run.Cycles(clock, 1);
    EXPECT_FALSE(run.view.ErrorsAlarm);
}

TEST(WallClockStep, changes_no_figure) {
    const auto run = [](bool step) {
        ManualClock clock;
        LoopRun r(clock);
        EXPECT_TRUE(r.session.Start(TestMode::Bert, LineSettings{}));
        r.Cycles(clock, 35);
        if (step) clock.StepWallMs(-2000);
        r.Cycles(clock, 30);
        return r.view.Stats;
    };
    const auto stepped = run(true);
    EXPECT_EQ(stepped, run(false));
    EXPECT_EQ(stepped.at(StatCell::Time), "0:00:06");
    EXPECT_EQ(stepped.at(StatCell::Errors), "0");
}

}  // namespace
}  // namespace kvartix
