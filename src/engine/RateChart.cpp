#include "engine/RateChart.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

namespace kvartix {

void RateChart::SetRateAxis(std::int32_t bitRate) {
    // Such a rate never starts a session; the axis keeps the scale it has.
    if (bitRate < 1) return;
    m_axisBitRate = bitRate;
    if (bitRate > 10000) {
        m_maximum = static_cast<std::int32_t>(std::trunc(bitRate * 0.001)) + 1;
        m_rateUnitFactor = 1;
        m_title = "Kbit/s";
    } else {
        m_maximum = bitRate;
        m_rateUnitFactor = 1000;
        m_title = "bit/s";
    }
    // Rates of 1 to 3 bit/s would otherwise get no labels at all.
    m_labelStep = std::max(1, static_cast<std::int32_t>(std::trunc(m_maximum * 0.25)));
}

void RateChart::DoubleAxis() {
    const std::int64_t doubled = std::int64_t{m_axisBitRate} * 2;
    SetRateAxis(static_cast<std::int32_t>(
        std::min<std::int64_t>(doubled, std::numeric_limits<std::int32_t>::max())));
}

void RateChart::ResetChart() {
    m_points.clear();
    for (int i = 0; i < kPoints; ++i) m_points.push_back({i, 0});
}

void RateChart::RemoveOldestPoint() {
    if (!m_points.empty()) m_points.pop_front();
}

void RateChart::AppendPoint(double value) {
    const std::int64_t x = m_points.empty() ? 0 : m_points.back().X + 1;
    m_points.push_back({x, static_cast<std::int64_t>(std::trunc(value))});
}

std::string FormatAxisLabel(double value, char decimalSeparator, int decimals) {
    // to_chars ignores the process locale, which Qt sets from the environment.
    char buf[400];
    const auto end =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals).ptr;
    std::string s(buf, end);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    if (const auto dot = s.find('.'); dot != std::string::npos) s[dot] = decimalSeparator;
    return s;
}

AxisLabels LabelAxis(const RateChart& chart, const std::function<int(const std::string&)>& width,
                     int room) {
    static const char* const kTitles[] = {"bit/s", "Kbit/s", "Mbit/s", "Gbit/s", "Tbit/s"};
    AxisLabels axis;
    const std::int64_t step = std::max(1, chart.LabelStep());
    for (std::int64_t v = 0; chart.AxisMaximum() > 0 && v <= chart.AxisMaximum(); v += step)
        axis.Values.push_back(v);
    const int first = chart.RateUnitFactor() == 1 ? 1 : 0;  // the axis's own unit
    for (int unit = first; unit < static_cast<int>(std::size(kTitles)); ++unit) {
        const double divisor = std::pow(1000.0, unit - first);
        for (int decimals = unit == first ? 0 : 3; decimals >= 0; --decimals) {
            axis.Title = kTitles[unit];
            axis.Texts.clear();
            for (const std::int64_t v : axis.Values)
                axis.Texts.push_back(
                    FormatAxisLabel(static_cast<double>(v) / divisor, '.', decimals));
            if (std::all_of(axis.Texts.begin(), axis.Texts.end(),
                            [&](const std::string& t) { return width(t) <= room; }))
                return axis;
        }
    }
    return axis;
}

}  // namespace kvartix
