#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/PatternChecker.h"

namespace kvartix {

// A run's seconds as ITU-T G.821 classes them, counted from the first second the checker was
// in sync. The errored seconds are not among them: the run's own count of seconds with an
// error is that figure.
struct LineQualityFigures {
    std::int64_t Seconds = 0;          // classed so far
    std::int64_t SeverelyErrored = 0;  // in available time
    std::int64_t Unavailable = 0;
    std::int64_t ErrorFree = 0;  // in available time
    std::int64_t Available() const { return Seconds - Unavailable; }
    // Error-free seconds over available time; none before there is any.
    std::optional<double> ErrorFreeShare() const;
};

// A second with a bit-error ratio of 1E-3 or worse is severely errored (G.821), and so is one
// in which the checker lost its sync or held none. Ten severely errored seconds in a row are
// unavailable time from the first of them, and ten seconds in a row that are not end it from
// the first of those: a second's class is settled once the run of ten it may begin is over,
// or at the end.
class LineQuality {
  public:
    struct Second {
        std::int64_t Bits = 0;  // compared
        std::int64_t Errors = 0;
        bool SyncMissing = false;  // lost in it, or not held through it
    };

    void AddSecond(const Second& s);
    // Counting the seconds still waiting for their run of ten, as they stand.
    LineQualityFigures Figures() const;
    static bool SeverelyErrored(const Second& s);

  private:
    LineQualityFigures m_settled;
    bool m_unavailable = false;
    // The seconds since the last change of class that may yet change the state: severely
    // errored ones while available, others while unavailable (their error-free count beside).
    int m_pending = 0;
    int m_pendingErrorFree = 0;
};

// Classes a run's seconds from the checker's running totals, taken once a second: from the
// first whole second after the checker first found its sync.
class LineQualitySeconds {
  public:
    void TakeSecond(const PatternCounts& now);
    // The run's end: a last part-second counts when something went wrong in it.
    void TakeLastSecond(const PatternCounts& now);
    LineQualityFigures Figures() const { return m_quality.Figures(); }

  private:
    LineQuality::Second Since(const PatternCounts& now) const;

    LineQuality m_quality;
    bool m_started = false;
    PatternCounts m_last;
};

// The bit-error ratio; none before a bit was compared.
std::optional<double> BitErrorRatio(std::int64_t errors, std::int64_t bits);
// With no error in `bits`, the ratio shown to be below this at 95 % confidence: -ln(0.05)/bits.
std::optional<double> ErrorFreeBound95(std::int64_t bits);
// "1.0E-05": two significant digits, as a tester shows a ratio.
std::string RatioText(double ratio);

}  // namespace kvartix
