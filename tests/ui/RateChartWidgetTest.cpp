#include <gtest/gtest.h>

#include <QImage>

#include "ui/RateChartWidget.h"
#include "ui/WindowFont.h"

namespace kvartix::test {
namespace {

const QRgb kBlue = qRgb(0, 0, 0xFF);

// Blue pixels in each row of the plot, top to bottom.
std::vector<int> BlueByRow(const RateChart& chart) {
    RateChartWidget widget(chart);
    widget.resize(169, 64);
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect plot = widget.PlotArea();
    std::vector<int> rows;
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        int n = 0;
        for (int x = plot.left(); x <= plot.right(); ++x) n += image.pixel(x, y) == kBlue;
        rows.push_back(n);
    }
    return rows;
}

TEST(RateChartWidget, zero_points_paint_no_area) {
    RateChart chart;
    chart.SetRateAxis(115200);
    for (int n : BlueByRow(chart)) EXPECT_EQ(n, 0);
}

TEST(RateChartWidget, a_point_at_the_axis_maximum_reaches_the_top_and_higher_ones_are_cut) {
    RateChart chart;
    chart.SetRateAxis(9600);
    for (int i = 0; i < RateChart::kPoints; ++i) {
        chart.RemoveOldestPoint();
        chart.AppendPoint(i < 10 ? 9600 : 50000);
    }
    const std::vector<int> rows = BlueByRow(chart);
    EXPECT_GT(rows.front(), 100);  // the whole width, give or take the edges
    EXPECT_EQ(rows.front(), rows.back());
}

// Every label of the axis is painted whole, inside the chart, clear of its neighbours.
struct AxisRate {
    std::int32_t BitRate;
    int Doublings;
};
class AxisLabelPaint : public ::testing::TestWithParam<AxisRate> {};

TEST_P(AxisLabelPaint, every_label_shows_whole) {
    RateChart chart;
    chart.SetRateAxis(GetParam().BitRate);
    for (int i = 0; i < GetParam().Doublings; ++i) chart.DoubleAxis();
    RateChartWidget widget(chart);
    widget.setFont(WindowFont());
    widget.resize(169, 64);
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto labels = widget.LayOutAxis().Labels;
    ASSERT_EQ(labels.size(), std::size_t(chart.AxisMaximum() / chart.LabelStep() + 1));
    const QFontMetrics metrics = [&] {
        QFont f = widget.font();
        f.setPixelSize(9);
        return QFontMetrics(f);
    }();
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const auto& l = labels[i];
        EXPECT_LE(metrics.horizontalAdvance(l.Text), l.Box.width()) << l.Text.toStdString();
        EXPECT_TRUE(widget.rect().contains(l.Box)) << l.Text.toStdString();
        if (i > 0) {
            EXPECT_FALSE(l.Box.intersects(labels[i - 1].Box)) << l.Text.toStdString();
        }
        int lit = 0;  // the text's pixels, lighter than the purple panel
        for (int y = l.Box.top(); y <= l.Box.bottom(); ++y)
            for (int x = l.Box.left(); x <= l.Box.right(); ++x)
                lit += qGray(image.pixel(x, y)) > 100;
        EXPECT_GT(lit, 3) << l.Text.toStdString() << " is not painted";
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, AxisLabelPaint,
                         ::testing::Values(AxisRate{110, 0}, AxisRate{7, 0}, AxisRate{9600, 0},
                                           AxisRate{10001, 0}, AxisRate{14400, 0},
                                           AxisRate{115200, 0}, AxisRate{460800, 0},
                                           AxisRate{460800, 5}, AxisRate{460800, 8},
                                           AxisRate{2147483647, 0}),
                         [](const auto& info) {
                             return std::to_string(info.param.BitRate) + "_doubled_" +
                                    std::to_string(info.param.Doublings);
                         });

}  // namespace
}  // namespace kvartix::test
