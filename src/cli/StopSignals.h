#pragma once

#include <cstdint>
#include <memory>

#include "serial/Clock.h"

namespace kvartix {

// SIGINT, SIGTERM and SIGHUP (Ctrl+C and Ctrl+Break on Windows), noted rather than obeyed,
// so that the run ends at its next step and closes the port as a run that ran its time does.
// A second one while the program is closing ends it at once. One instance at a time.
class StopSignals {
  public:
    StopSignals();   // puts the handlers in place
    ~StopSignals();  // and the previous ones back
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal that came; 0 while none has.
    static int Caught();
    // Sleeps until the clock shows the time or a signal comes, whichever is first; returns
    // the signal or 0.
    int WaitUntil(const Clock& clock, std::int64_t clockUs) const;

  private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

}  // namespace kvartix
