// What the system itself reports about a timer's worker thread (Linux: /proc).
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <optional>

#include "components/KivClasses2.h"
#include "support/EventLoop.h"

namespace kvartix {
namespace {

// The nice value of the one thread of this process named like a timer's worker.
std::optional<int> WorkerNice() {
    std::optional<int> nice;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + "/comm"));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "kivtimer") continue;
        if (nice) return std::nullopt;  // more than one
        QFile stat(tasks.filePath(tid + "/stat"));
        if (!stat.open(QIODevice::ReadOnly)) return std::nullopt;
        // The fields after the parenthesised name; nice is the 19th field of the line.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        nice = fields.value(19 - 3).toInt();
    }
    return nice;
}

TEST(KivTimerPriority, is_taken_when_the_worker_first_runs_and_kept_after) {
    const int inherited = getpriority(PRIO_PROCESS, 0);
    int ticks = 0;
    TKivTimer32 timer;
    timer.SetPriority(TThreadPriority::tpLower);
    timer.SetInterval(20);
    timer.SetOnTimer([&](QObject*) { ++ticks; });
    timer.SetEnabled(true);
    ASSERT_TRUE(test::RunEventsUntil([&] { return ticks >= 1; }, 2000));
    EXPECT_EQ(WorkerNice(), std::min(inherited + 5, 19));

    // Lowering is never refused, so a worker that took the change would show it.
    timer.SetPriority(TThreadPriority::tpLowest);
    ASSERT_TRUE(test::RunEventsUntil([&] { return ticks >= 3; }, 2000));
    EXPECT_EQ(WorkerNice(), std::min(inherited + 5, 19));
}

}  // namespace
}  // namespace kvartix
