#pragma once

#include <cstdint>
#include <functional>

#include "serial/Clock.h"

namespace kvartix {

// How the run waits for its next cycle: sleeps on a real clock, advances a test's clock.
// Returns the number of a signal that asks the program to stop, at once when one came
// before the call; 0 once the time has come.
using WaitUntil = std::function<int(std::int64_t clockUs)>;

// A run's cycles, 100 ms apart.
class CliCycles {
  public:
    static constexpr std::int64_t kCycleUs = 100'000;

    // The cycle ticks every session of the run and says whether any still runs.
    using Cycle = std::function<bool()>;

    CliCycles(Cycle cycle, const Clock& clock, const WaitUntil& waitUntil)
        : m_cycle(std::move(cycle)), m_clock(clock), m_wait(waitUntil), m_next(clock.NowUs()) {}

    // Runs the cycle that is due; false when no session runs after it (its port lost).
    bool Run() {
        const bool running = m_cycle();
        m_last = m_clock.NowUs();
        return running;
    }
    // Waits for the next cycle and runs it; false when a signal came or no session runs.
    bool Next() {
        m_next += kCycleUs;
        m_signal = m_wait(m_next);
        return m_signal == 0 && Run();
    }

    std::int64_t LastUs() const { return m_last; }
    int Signal() const { return m_signal; }

  private:
    Cycle m_cycle;
    const Clock& m_clock;
    const WaitUntil& m_wait;
    std::int64_t m_next;
    std::int64_t m_last = 0;
    int m_signal = 0;
};

}  // namespace kvartix
