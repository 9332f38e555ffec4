// How much of the line a BERT keeps busy: the engine's 100 ms cycle at maximum data speed on
// LOOP at rates up to 3 Mbit/s, and over a pseudo-terminal whose far end, a child process,
// carries the characters back at the line's rate, with and without Xon/Xoff. Line use counts
// from the first second on; the CPU is this process's (engine and I/O thread).
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "BenchSession.h"

namespace {

using namespace kvartix;
using bench::CpuSeconds;
using Steady = std::chrono::steady_clock;

// Returns the I/O thread's wake-ups a second.
double Row(const char* line, int rate, bool xonXoff, double seconds,
           double marginUs = PosixCommPort::kDefaultWakeMarginUs) {
    pid_t wire = -1;
    std::string port = "LOOP";
    if (std::string(line) != "LOOP") port = bench::StartWire(wire, rate / 10.0);
    bench::BenchSession run;
    Engine& engine = run.engine;
    TestSession& session = run.session;
    LineSettings s;
    s.Port = port;
    s.BitRate = rate;
    s.XonXoff = xonXoff;
    if (!session.Start(TestMode::Bert, s)) return 0;
    if (auto* posix = dynamic_cast<PosixCommPort*>(session.Port()))
        posix->SetWakeMarginUs(marginUs);
    const auto start = Steady::now();
    auto next = start;
    std::int64_t fromBytes = -1;
    Steady::time_point from;
    double cpuFrom = 0;
    double ioFrom = 0;
    std::uint64_t wakeFrom = 0;
    while (Steady::now() - start < std::chrono::duration<double>(seconds + 1)) {
        if (fromBytes < 0 && Steady::now() - start >= std::chrono::seconds(1)) {
            fromBytes = engine.Counters().Received;
            from = Steady::now();
            cpuFrom = CpuSeconds();
            ioFrom = bench::OtherThreadsCpuSeconds();
            wakeFrom = bench::WakeUps(session);
        }
        session.Tick();
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    const double elapsed = std::chrono::duration<double>(Steady::now() - from).count();
    const double cpu = (CpuSeconds() - cpuFrom) / elapsed;
    const double io = (bench::OtherThreadsCpuSeconds() - ioFrom) / elapsed;
    const double used = static_cast<double>(engine.Counters().Received - fromBytes) /
                        (elapsed * rate / engine.Params().BitsPerChar);
    const double wakeUps = static_cast<double>(bench::WakeUps(session) - wakeFrom) / elapsed;
    const auto& d = engine.DriverErrors();
    session.StopSession();
    if (wire > 0) waitpid(wire, nullptr, 0);
    std::printf("  %-22s %8d  %-8s %7.2f %%  %6lld  %5d  %10.0f  %6.2f %%  %6.2f %%\n", line, rate,
                xonXoff ? "Xon/Xoff" : "none", 100 * used,
                static_cast<long long>(engine.Counters().Errors),
                d.ParityErrors + d.OverrunErrors + d.FramingErrors + d.OtherErrors, wakeUps,
                100 * io, 100 * cpu);
    return wakeUps;
}

// What this machine charges for wake-ups alone, now: a thread that only sleeps in ppoll, as
// often as a writer woke. Its CPU is the floor under that writer's.
void WakeFloor(double perSecond, double seconds) {
    std::atomic<bool> stop{false};
    double cpu = 0;
    std::uint64_t wakes = 0;
    std::thread sleeper([&] {
        const timespec gap{0, static_cast<long>(1e9 / perSecond)};
        timespec t0{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
        for (; !stop; ++wakes) ppoll(nullptr, 0, &gap, nullptr);
        timespec t1{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
        cpu = static_cast<double>(t1.tv_sec - t0.tv_sec) +
              1e-9 * static_cast<double>(t1.tv_nsec - t0.tv_nsec);
    });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    sleeper.join();
    std::printf("  %-22s %8s  %-8s %9s  %6s  %5s  %10.0f  %6.2f %%\n", "wake-ups alone", "", "", "",
                "", "", static_cast<double>(wakes) / seconds, 100 * cpu / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    std::printf("BERT at maximum data speed, %.0f s a row after the first second\n", seconds);
    std::printf("  %-22s %8s  %-8s %9s  %6s  %5s  %10s  %8s  %s\n", "line", "bit/s", "flow",
                "line used", "errors", "driver", "wake-ups/s", "I/O CPU", "process CPU");
    // A second argument "pty" leaves out the LOOP rows, "xon" all but the Xon/Xoff ones.
    const std::string only = argc > 2 ? argv[2] : "";
    if (only.empty())
        for (const int rate : {9600, 115200, 460800, 614400, 921600, 1500000, 2500000, 3000000})
            Row("LOOP", rate, false, seconds);
    double wakeUps = 0;
    for (const int rate : {115200, 460800})
        for (const bool xonXoff : {false, true})
            if (xonXoff || only != "xon")
                wakeUps = Row("far end paced at rate", rate, xonXoff, seconds);
    if (wakeUps > 0) WakeFloor(wakeUps, seconds);
    // The writer before, which topped its lead up with 3 ms of it left.
    Row("before: 3 ms margin", 460800, true, seconds, 3000);
    return 0;
}
