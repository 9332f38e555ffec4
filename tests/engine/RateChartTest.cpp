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
    EXPECT_EQ(FormatAxisLabel(2400, '.', 0), "2400");
    EXPECT_EQ(FormatAxisLabel(117.964, '.', 1), "118");
    EXPECT_EQ(FormatAxisLabel(29.491, '.', 2), "29.49");
}

// Every label fits the room: in the axis's unit when it can, else a larger one, with as many
// of three decimals as fit. Here a digit is 5 pixels wide and a point 3, in a room of 25.
struct LabelCase {
    std::int32_t BitRate;
    int Doublings;
    const char* Title;
    std::vector<std::string> Texts;
};

class AxisLabelling : public ::testing::TestWithParam<LabelCase> {};

TEST_P(AxisLabelling, shows_every_label_whole) {
    const LabelCase& c = GetParam();
    RateChart chart;
    chart.SetRateAxis(c.BitRate);
    for (int i = 0; i < c.Doublings; ++i) chart.DoubleAxis();
    const auto width = [](const std::string& t) {
        int w = 0;
        for (char ch : t) w += ch == '.' ? 3 : 5;
        return w;
    };
    const AxisLabels axis = LabelAxis(chart, width, 25);
    EXPECT_EQ(axis.Title, c.Title);
    EXPECT_EQ(axis.Texts, c.Texts);
    ASSERT_EQ(axis.Values.size(), c.Texts.size());
    EXPECT_EQ(axis.Values.back(), chart.LabelStep() * std::int64_t(c.Texts.size() - 1));
}

INSTANTIATE_TEST_SUITE_P(
    BitRates, AxisLabelling,
    ::testing::Values(LabelCase{115200, 0, "Kbit/s", {"0", "29", "58", "87", "116"}},
                      LabelCase{460800, 0, "Kbit/s", {"0", "115", "230", "345", "460"}},
                      LabelCase{9600, 0, "bit/s", {"0", "2400", "4800", "7200", "9600"}},
                      LabelCase{14400, 0, "Kbit/s", {"0", "3", "6", "9", "12", "15"}},
                      LabelCase{7, 0, "bit/s", {"0", "1", "2", "3", "4", "5", "6", "7"}},
                      LabelCase{460800, 5, "Kbit/s", {"0", "3686", "7372", "11058", "14744"}},
                      LabelCase{460800, 8, "Mbit/s", {"0", "29.5", "59", "88.5", "118"}},
                      LabelCase{2147483647, 0, "Mbit/s", {"0", "537", "1074", "1611", "2147"}}),
    [](const auto& info) {
        return std::to_string(info.param.BitRate) + "_doubled_" +
               std::to_string(info.param.Doublings);
    });

TEST(RateAxisLimits, a_doubled_axis_stops_at_the_largest_rate) {
    RateChart chart;
    chart.SetRateAxis(2'000'000'000);
    chart.DoubleAxis();
    EXPECT_EQ(chart.AxisBitRate(), 2'147'483'647);
    EXPECT_GT(chart.AxisMaximum(), 0);
}

}  // namespace
}  // namespace kvartix
