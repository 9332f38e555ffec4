#include <QThread>

#include "components/ThreadPriority.h"

namespace kvartix {

// Qt maps these one to one onto the Windows thread priorities; elsewhere it does what the
// scheduler offers.
bool ApplyThreadPriority(TThreadPriority priority) {
    static constexpr QThread::Priority kQt[] = {
        QThread::IdlePriority,        QThread::LowestPriority, QThread::LowPriority,
        QThread::NormalPriority,      QThread::HighPriority,   QThread::HighestPriority,
        QThread::TimeCriticalPriority};
    QThread::currentThread()->setPriority(kQt[static_cast<int>(priority)]);
    return true;
}

}  // namespace kvartix
