#include "engine/LineQuality.h"

#include <charconv>
#include <cmath>

namespace kvartix {
namespace {

constexpr int kRunOfTen = 10;

}  // namespace

std::optional<double> LineQualityFigures::ErrorFreeShare() const {
    if (Available() <= 0) return std::nullopt;
    return static_cast<double>(ErrorFree) / static_cast<double>(Available());
}

bool LineQuality::SeverelyErrored(const Second& s) {
    if (s.SyncMissing || s.Bits == 0) return true;
    return s.Errors * 1000 >= s.Bits;
}

void LineQuality::AddSecond(const Second& s) {
    const bool severe = SeverelyErrored(s);
    const bool errorFree = !severe && s.Errors == 0;
    ++m_settled.Seconds;
    if (!m_unavailable) {
        if (severe) {
            if (++m_pending < kRunOfTen) return;
            m_settled.Unavailable += m_pending;
            m_unavailable = true;
            m_pending = 0;
            return;
        }
        m_settled.SeverelyErrored += m_pending;
        m_pending = 0;
        if (errorFree) ++m_settled.ErrorFree;
        return;
    }
    if (severe) {
        m_settled.Unavailable += m_pending + 1;
        m_pending = m_pendingErrorFree = 0;
        return;
    }
    if (errorFree) ++m_pendingErrorFree;
    if (++m_pending < kRunOfTen) return;
    m_settled.ErrorFree += m_pendingErrorFree;
    m_unavailable = false;
    m_pending = m_pendingErrorFree = 0;
}

LineQualityFigures LineQuality::Figures() const {
    LineQualityFigures f = m_settled;
    if (m_unavailable)
        f.Unavailable += m_pending;
    else
        f.SeverelyErrored += m_pending;
    return f;
}

// A clearing of the statistics starts the totals again from 0.
LineQuality::Second LineQualitySeconds::Since(const PatternCounts& now) const {
    const auto since = [](std::int64_t n, std::int64_t then) { return n >= then ? n - then : n; };
    return {since(now.BitsChecked, m_last.BitsChecked), since(now.BitErrors, m_last.BitErrors),
            !now.InSync || now.SyncLosses != m_last.SyncLosses};
}

void LineQualitySeconds::TakeSecond(const PatternCounts& now) {
    if (m_started) m_quality.AddSecond(Since(now));
    m_started = m_started || now.EverInSync;
    m_last = now;
}

void LineQualitySeconds::TakeLastSecond(const PatternCounts& now) {
    const LineQuality::Second s = Since(now);
    if (m_started && (s.Errors != 0 || now.SyncLosses != m_last.SyncLosses)) m_quality.AddSecond(s);
    m_last = now;
}

std::optional<double> BitErrorRatio(std::int64_t errors, std::int64_t bits) {
    if (bits <= 0) return std::nullopt;
    return static_cast<double>(errors) / static_cast<double>(bits);
}

std::optional<double> ErrorFreeBound95(std::int64_t bits) {
    if (bits <= 0) return std::nullopt;
    return -std::log(0.05) / static_cast<double>(bits);
}

std::string RatioText(double ratio) {
    char buf[64];
    const auto end = std::to_chars(buf, buf + sizeof buf, ratio, std::chars_format::scientific, 1);
    std::string text(buf, end.ptr);
    for (char& c : text)
        if (c == 'e') c = 'E';
    return text;
}

}  // namespace kvartix
