#include "ui/RateChartWidget.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>
#include <string>

namespace kvartix {
namespace {

const QColor kBackground{0x40, 0x00, 0x40};
const QColor kArea{0x00, 0x00, 0xFF};
const QColor kText{0xE0, 0xE0, 0xE0};
constexpr int kBorder = 6;
constexpr int kLeftMargin = 5;  // per cent of the width
constexpr int kLabelWidth = 27;
constexpr int kTitleWidth = 11;
constexpr int kFontPixels = 9;

constexpr int kLabelGap = 2;  // of the label area, kept free between a label and the axis line
constexpr int kLabelRoom = kLabelWidth - kLabelGap;

std::function<int(const std::string&)> Measure(const QFontMetrics& metrics) {
    return [metrics](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    };
}

// What the digits cover, from their baseline: a label is as high as this.
QRect DigitBox(const QFontMetrics& metrics) {
    return metrics.tightBoundingRect(QStringLiteral("0123456789"));
}

QFont ChartFont(const QFont& base) {
    QFont f = base;
    f.setPixelSize(kFontPixels);
    return f;
}

}  // namespace

RateChartWidget::RateChartWidget(const RateChart& chart, QWidget* parent)
    : QWidget(parent), m_chart(chart) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// Half a label's height is kept free above and below, so the end labels are not cut.
QRect RateChartWidget::PlotArea() const {
    const int left = kBorder + width() * kLeftMargin / 100 + kTitleWidth + kLabelWidth;
    const int pad = DigitBox(QFontMetrics(ChartFont(font()))).height() / 2 + 1;
    return QRect(QPoint(left, kBorder + pad),
                 QPoint(width() - kBorder - 1, height() - kBorder - pad));
}

void RateChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setFont(ChartFont(font()));
    const QRect plot = PlotArea();
    PaintArea(painter, plot);
    PaintAxis(painter, plot);
}

// Each label centred on its value's height, right-aligned against the axis; the box is as
// high as the digits themselves, so that labels a few pixels apart do not collide.
RateChartWidget::AxisLayout RateChartWidget::LayOutAxis() const {
    const QFontMetrics metrics(ChartFont(font()));
    const AxisLabels axis = LabelAxis(m_chart, Measure(metrics), kLabelRoom);
    const QRect plot = PlotArea();
    const QRect digits = DigitBox(metrics);
    const std::int64_t maximum = m_chart.AxisMaximum();
    AxisLayout layout{QString::fromStdString(axis.Title), {}};
    for (std::size_t i = 0; i < axis.Values.size(); ++i) {
        const int y = plot.bottom() - static_cast<int>(axis.Values[i] * plot.height() / maximum);
        layout.Labels.push_back({QString::fromStdString(axis.Texts[i]),
                                 QRect(plot.left() - kLabelWidth, y - digits.height() / 2,
                                       kLabelRoom, digits.height())});
    }
    return layout;
}

void RateChartWidget::PaintAxis(QPainter& painter, const QRect& plot) const {
    painter.setPen(kText);
    painter.drawLine(plot.left() - 1, plot.top(), plot.left() - 1, plot.bottom());

    const AxisLayout axis = LayOutAxis();
    const QFontMetrics metrics = painter.fontMetrics();
    const int baselineBelowTop = -DigitBox(metrics).top();
    for (const Label& label : axis.Labels)
        painter.drawText(QPoint(label.Box.right() + 1 - metrics.horizontalAdvance(label.Text),
                                label.Box.top() + baselineBelowTop),
                         label.Text);

    painter.save();
    const int titleX = kBorder + width() * kLeftMargin / 100;
    painter.translate(titleX, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-plot.height() / 2 - 8, 0, plot.height() + 16, kTitleWidth),
                     Qt::AlignCenter, axis.Title);
    painter.restore();
}

// The area from the first point to the last, clipped to the axis range, without an outline.
void RateChartWidget::PaintArea(QPainter& painter, const QRect& plot) const {
    const auto& points = m_chart.Points();
    const std::int32_t maximum = m_chart.AxisMaximum();
    if (points.size() < 2 || maximum <= 0) return;
    const double x0 = static_cast<double>(points.front().X);
    const double xSpan = static_cast<double>(points.back().X) - x0;
    if (xSpan <= 0) return;
    QPainterPath path;
    path.moveTo(plot.left(), plot.bottom() + 1);
    for (const auto& p : points) {
        const double x = plot.left() + (static_cast<double>(p.X) - x0) * plot.width() / xSpan;
        const double y = plot.bottom() + 1 - static_cast<double>(p.Y) * plot.height() / maximum;
        path.lineTo(x, y);
    }
    path.lineTo(plot.right() + 1, plot.bottom() + 1);
    path.closeSubpath();
    painter.save();
    painter.setClipRect(plot);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kArea);
    painter.drawPath(path);
    painter.restore();
}

}  // namespace kvartix
