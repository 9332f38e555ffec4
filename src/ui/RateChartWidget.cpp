#include "ui/RateChartWidget.h"

#include <QPainter>
#include <QPainterPath>

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
    const int pad = kFontPixels / 2 + 1;
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

void RateChartWidget::PaintAxis(QPainter& painter, const QRect& plot) const {
    painter.setPen(kText);
    painter.drawLine(plot.left() - 1, plot.top(), plot.left() - 1, plot.bottom());

    const std::int32_t maximum = m_chart.AxisMaximum();
    const std::int32_t step = m_chart.LabelStep() > 0 ? m_chart.LabelStep() : maximum;
    const int labelRight = plot.left() - 4;
    int lastTop = plot.bottom() + kFontPixels;  // labels that would overlap the one below go
    for (std::int64_t v = 0; maximum > 0 && v <= maximum; v += step) {
        const int y = plot.bottom() - static_cast<int>(v * plot.height() / maximum);
        const QRect box(labelRight - kLabelWidth, y - kFontPixels / 2 - 1, kLabelWidth,
                        kFontPixels + 2);
        if (box.bottom() >= lastTop) continue;
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter,
                         QString::fromStdString(FormatAxisLabel(static_cast<double>(v))));
        lastTop = box.top();
    }

    painter.save();
    const int titleX = kBorder + width() * kLeftMargin / 100;
    painter.translate(titleX, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-plot.height() / 2 - 8, 0, plot.height() + 16, kTitleWidth),
                     Qt::AlignCenter, QString::fromStdString(m_chart.AxisTitle()));
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
