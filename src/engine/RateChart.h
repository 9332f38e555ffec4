#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kvartix {

// The receive-rate strip: 20 points, one a second, over a value axis scaled for a bit rate.
class RateChart {
public:
    static constexpr int kPoints = 20;

    struct Point {
        std::int64_t X;
        std::int64_t Y;
        bool operator==(const Point&) const = default;
    };

    RateChart() { ResetChart(); }

    // bit/s up to 10000, Kbit/s above; the label step is a quarter of the maximum, at least 1.
    // A bit rate below 1 leaves the axis as it is.
    void SetRateAxis(std::int32_t bitRate);
    // The rescale: twice the axis's bit rate, held at the largest rate there is.
    void DoubleAxis();
    void ResetChart();
    void RemoveOldestPoint();
    // Y is the value truncated toward zero.
    void AppendPoint(double value);

    std::int32_t AxisBitRate() const { return m_axisBitRate; }
    std::uint16_t RateUnitFactor() const { return m_rateUnitFactor; }
    std::int32_t AxisMaximum() const { return m_maximum; }
    std::int32_t LabelStep() const { return m_labelStep; }
    const std::string& AxisTitle() const { return m_title; }
    const std::deque<Point>& Points() const { return m_points; }

private:
    std::int32_t m_axisBitRate = 0;
    std::uint16_t m_rateUnitFactor = 1000;
    std::int32_t m_maximum = 0;
    std::int32_t m_labelStep = 0;
    std::string m_title = "bit/s";
    std::deque<Point> m_points;
};

// An axis label as "###0.###" writes it: up to three decimals (or as many as asked), no
// trailing zeros.
std::string FormatAxisLabel(double value, char decimalSeparator = '.', int decimals = 3);

// The value axis as it is labelled: its title, and a label from 0 to the maximum at every step.
struct AxisLabels {
    std::string Title;
    std::vector<std::int64_t> Values;  // in the axis's unit, where the labels stand
    std::vector<std::string> Texts;
};

// Every label whole within `room`, as `width` measures a text: in the axis's own unit when they
// all fit, otherwise in the first larger unit (a thousand times, "Mbit/s" after "Kbit/s") where
// they fit with three decimals or fewer. Labels that fit in no unit keep the largest one.
AxisLabels LabelAxis(const RateChart& chart, const std::function<int(const std::string&)>& width,
                     int room);

}  // namespace kvartix
