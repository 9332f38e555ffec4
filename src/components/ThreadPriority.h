#pragma once

namespace kvartix {

// The seven worker priorities, lowest first. On Windows they are the thread priorities
// -15, -2, -1, 0, 1, 2 and 15.
enum class TThreadPriority {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// Gives the calling thread the priority, as far as the system lets an ordinary process:
// raising one usually needs a privilege we may not have. Returns false when the system refused;
// the thread then simply keeps running as it was.
bool ApplyThreadPriority(TThreadPriority priority);

}  // namespace kvartix
