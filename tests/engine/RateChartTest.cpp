#include <gtest/gtest.h>

#include "engine/RateChart.h"

namespace kvartix {
namespace {

struct AxisCase {
    std::int32_t BitRate;
    const char* Title;
    std::int32_t Maximum;
    std::int32_t Step;
    std::uint16_t Factor;
};

class RateAxis : public ::testing::TestWithParam<AxisCase> {};

TEST_P(RateAxis, is_scaled_for_the_bit_rate) {
    const AxisCase c = GetParam();
    RateChart chart;
    chart.SetRateAxis(c.BitRate);
    EXPECT_EQ(chart.AxisBitRate(), c.BitRate);
    EXPECT_EQ(chart.AxisTitle(), c.Title);
    EXPECT_EQ(chart.AxisMaximum(), c.Maximum);
    EXPECT_EQ(chart.LabelStep(), c.Step);
    EXPECT_EQ(chart.RateUnitFactor(), c.Factor);
}

INSTANTIATE_TEST_SUITE_P(BitRates, RateAxis,
                         ::testing::Values(AxisCase{110, "bit/s", 110, 27, 1000},
                                           AxisCase{9600, "bit/s", 9600, 2400, 1000},
                                           AxisCase{10000, "bit/s", 10000, 2500, 1000},
                                           AxisCase{10001, "Kbit/s", 11, 2, 1},
                                           AxisCase{115200, "Kbit/s", 116, 29, 1},
                                           AxisCase{2 * 9600, "Kbit/s", 20, 5, 1}));

TEST(RateChartFeed, keeps_twenty_points_with_consecutive_x_and_truncated_values) {
    RateChart chart;
    ASSERT_EQ(chart.Points().size(), 20u);
    EXPECT_EQ(chart.Points().front(), (RateChart::Point{0, 0}));
    EXPECT_EQ(chart.Points().back(), (RateChart::Point{19, 0}));
    chart.RemoveOldestPoint();
    chart.AppendPoint(115.9);
    chart.RemoveOldestPoint();
    chart.AppendPoint(-0.5);
    ASSERT_EQ(chart.Points().size(), 20u);
    EXPECT_EQ(chart.Points()[18], (RateChart::Point{20, 115}));
    EXPECT_EQ(chart.Points()[19], (RateChart::Point{21, 0}));
    chart.ResetChart();
    EXPECT_EQ(chart.Points().back(), (RateChart::Point{19, 0}));
}

TEST(RateChartLabels, show_up_to_three_decimals_without_trailing_zeros) {
    EXPECT_EQ(FormatAxisLabel(0), "0");
    EXPECT_EQ(FormatAxisLabel(2400), "2400");
    EXPECT_EQ(FormatAxisLabel(29.25), "29.25");
    EXPECT_EQ(FormatAxisLabel(1.0 / 3), "0.333");
    EXPECT_EQ(FormatAxisLabel(12.5), "12.5");
    EXPECT_EQ(FormatAxisLabel(0.0004), "0");
}

}  // namespace
}  // namespace kvartix
