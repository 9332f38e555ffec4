#pragma once

#include <QWidget>
#include <vector>

#include "engine/RateChart.h"

namespace kvartix {

// Chart1: paints the receive-rate strip of a RateChart it does not own: a blue filled area over
// a value axis on the left, with the axis title and labels, on a dark purple panel. It does not
// react to the mouse.
class RateChartWidget final : public QWidget {
  public:
    RateChartWidget(const RateChart& chart, QWidget* parent = nullptr);

    // The rectangle the points fill, in the widget's coordinates.
    QRect PlotArea() const;

    // The value axis as painted: its title, and each label with the box its digits take.
    struct Label {
        QString Text;
        QRect Box;
    };
    struct AxisLayout {
        QString Title;
        std::vector<Label> Labels;
    };
    AxisLayout LayOutAxis() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void PaintAxis(class QPainter& painter, const QRect& plot) const;
    void PaintArea(class QPainter& painter, const QRect& plot) const;

    const RateChart& m_chart;
};

}  // namespace kvartix
