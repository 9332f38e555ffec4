#include <gtest/gtest.h>

#include <QImage>

#include "ui/RateChartWidget.h"

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

}  // namespace
}  // namespace kvartix::test
