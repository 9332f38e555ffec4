#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "components/ThreadPriority.h"

namespace kvartix {
namespace {

// Linux keeps a nice value per thread; the new value is taken relative to the one the thread
// inherited, so a program started with nice 10 still gets a lower or higher worker.
bool ShiftNice(int offset) {
    const pid_t tid = gettid();
    errno = 0;
    const int inherited = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (inherited == -1 && errno != 0) return false;
    const int wanted = std::clamp(inherited + offset, -20, 19);
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), wanted) == 0;
}

bool SetPolicy(int policy, int priority) {
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), policy, &param) == 0;
}

}  // namespace

// Qt's own mapping changes nothing under the default scheduler, so the levels become nice
// steps of five. Time-critical asks for the lowest real-time priority, which already runs
// ahead of every ordinary thread; without the privilege it settles for the strongest nice.
bool ApplyThreadPriority(TThreadPriority priority) {
    switch (priority) {
        case TThreadPriority::tpIdle:
            return SetPolicy(SCHED_IDLE, 0);
        case TThreadPriority::tpLowest:
            return ShiftNice(10);
        case TThreadPriority::tpLower:
            return ShiftNice(5);
        case TThreadPriority::tpNormal:
            return true;
        case TThreadPriority::tpHigher:
            return ShiftNice(-5);
        case TThreadPriority::tpHighest:
            return ShiftNice(-10);
        case TThreadPriority::tpTimeCritical:
            return SetPolicy(SCHED_FIFO, sched_get_priority_min(SCHED_FIFO)) || ShiftNice(-15);
    }
    return false;
}

}  // namespace kvartix
