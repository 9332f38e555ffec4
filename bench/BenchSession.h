#pragma once

// What the benchmarks that run whole sessions share: a session on the machine's own ports
// with the real clock, messages printed on standard error, and the process's CPU time.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/TestSession.h"
#include "serial/posix/PosixCommPort.h"
#include "testkit/Pty.h"
#include "testkit/SystemSession.h"

namespace kvartix::bench {

class PrintBox final : public ErrorBoxSink {
  public:
    void ErrorBox(const std::string& text, bool) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

// User and system time of the whole process, in seconds.
inline double CpuSeconds() {
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    return static_cast<double>(self.ru_utime.tv_sec + self.ru_stime.tv_sec) +
           static_cast<double>(self.ru_utime.tv_usec + self.ru_stime.tv_usec) / 1e6;
}

// Time on a CPU of every thread but the main one (the ports' I/O threads), in seconds, from
// the scheduler's own accounting (/proc/self/task/*/schedstat), which is exact to the
// nanosecond where rusage counts whole ticks per thread.
inline double OtherThreadsCpuSeconds() {
    double total = 0;
    const std::string self = std::to_string(getpid());
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        if (task.path().filename() == self) continue;
        std::ifstream stat(task.path() / "schedstat");
        unsigned long long ns = 0;
        if (stat >> ns) total += static_cast<double>(ns) / 1e9;
    }
    return total;
}

// A session on the machine's own ports, its messages printed.
using BenchSession = testkit::SystemSession<NullEngineView, PrintBox>;

// The I/O thread's wake-ups so far; none on LOOP, which has no thread.
inline std::uint64_t WakeUps(const TestSession& session) {
    const auto* port = dynamic_cast<const PosixCommPort*>(session.Port());
    return port ? port->TrafficSoFar().WakeUps : 0;
}

// A pseudo-terminal whose master belongs to a child that carries characters back at the rate;
// the slave's path, or empty. Fork before any port thread runs.
inline std::string StartWire(pid_t& child, double charsPerSecond) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {};
    const std::string slave = ptsname(master);
    child = fork();
    if (child == 0) {
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        test::CarryLikeAWire(master, charsPerSecond, -1);
        _exit(0);
    }
    close(master);
    return slave;
}

}  // namespace kvartix::bench
