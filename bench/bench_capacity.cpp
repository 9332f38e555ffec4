// How much of the line a BERT keeps busy: the engine's 100 ms cycle at maximum data speed on
// LOOP at rates up to 3 Mbit/s, and over a pseudo-terminal whose far end, a child process,
// carries the characters back at the line's rate, with and without Xon/Xoff. Line use counts
// from the first second on; the CPU is this process's (engine and I/O thread).
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "BenchSession.h"

namespace {

using namespace kvartix;
using bench::CpuSeconds;
using Steady = std::chrono::steady_clock;

void Row(const char* line, int rate, bool xonXoff, double seconds,
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
    if (!session.Start(TestMode::Bert, s)) return;
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
    for (const int rate : {115200, 460800})
        for (const bool xonXoff : {false, true})
            if (xonXoff || only != "xon") Row("far end paced at rate", rate, xonXoff, seconds);
    // The writer before, which topped its lead up with 3 ms of it left.
    Row("before: 3 ms margin", 460800, true, seconds, 3000);
    return 0;
}
