#include "engine/RateChart.h"

#include <cmath>
#include <cstdio>

namespace kvartix {

void RateChart::SetRateAxis(std::int32_t bitRate) {
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
    m_labelStep = static_cast<std::int32_t>(std::trunc(m_maximum * 0.25));
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

std::string FormatAxisLabel(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", value);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

}  // namespace kvartix
