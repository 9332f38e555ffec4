// Many BERT sessions in one process, as the runner drives them with several ports: 1, 2, 4
// and 8 sessions at maximum data speed, all ticked on one 100 ms cycle, on LOOP and over
// pseudo-terminals whose far ends (child processes) carry the characters back at the line's
// rate, without flow control and with Xon/Xoff. Printed: this process's CPU (engine and I/O
// threads) as a share of one core, its multiple of one port's, the share per port, the I/O
// threads' own share, their wake-ups a second per port, and the line use of the mean and the
// worst port, counted from the first second on.
//
//   bench_ports [seconds [rate [loop|pty]]]
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchSession.h"

namespace {

using namespace kvartix;
using bench::CpuSeconds;
using Steady = std::chrono::steady_clock;

struct Figures {
    bool Ran = false;
    double Cpu = 0;       // share of one core, the whole process
    double IoCpu = 0;     // the ports' I/O threads alone
    double WakeUps = 0;   // a second, per port
    double MeanUse = 0;   // line use of the ports' mean
    double WorstUse = 0;  // and of the worst port
    std::int64_t Errors = 0;
};

Figures Measure(int ports, bool pty, bool xonXoff, int rate, double seconds) {
    // The far ends are forked before any port has a thread.
    std::vector<pid_t> wires;
    std::vector<std::string> paths;
    for (int i = 0; i < ports; ++i) {
        if (!pty) {
            paths.emplace_back("LOOP");
            continue;
        }
        pid_t wire = -1;
        paths.push_back(bench::StartWire(wire, rate / 10.0));
        if (wire > 0) wires.push_back(wire);
    }
    std::vector<std::unique_ptr<bench::BenchSession>> runs;
    Figures f;
    bool started = true;
    for (const std::string& path : paths) {
        auto& run = runs.emplace_back(std::make_unique<bench::BenchSession>());
        LineSettings s;
        s.Port = path;
        s.BitRate = rate;
        s.XonXoff = xonXoff;
        started = started && !path.empty() && run->session.Start(TestMode::Bert, s);
    }
    if (started) {
        const auto start = Steady::now();
        auto next = start;
        std::vector<std::int64_t> fromBytes(runs.size());
        std::uint64_t wakeFrom = 0;
        Steady::time_point from;
        double cpuFrom = 0;
        double ioFrom = 0;
        bool counting = false;
        while (Steady::now() - start < std::chrono::duration<double>(seconds + 1)) {
            if (!counting && Steady::now() - start >= std::chrono::seconds(1)) {
                counting = true;
                for (std::size_t i = 0; i < runs.size(); ++i) {
                    fromBytes[i] = runs[i]->engine.Counters().Received;
                    wakeFrom += bench::WakeUps(runs[i]->session);
                }
                from = Steady::now();
                cpuFrom = CpuSeconds();
                ioFrom = bench::OtherThreadsCpuSeconds();
            }
            for (auto& run : runs) run->session.Tick();
            next += std::chrono::milliseconds(100);
            std::this_thread::sleep_until(next);
        }
        const double elapsed = std::chrono::duration<double>(Steady::now() - from).count();
        f.Ran = true;
        f.Cpu = (CpuSeconds() - cpuFrom) / elapsed;
        f.IoCpu = (bench::OtherThreadsCpuSeconds() - ioFrom) / elapsed;
        f.WorstUse = 1e9;
        std::uint64_t wakes = 0;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const Engine& e = runs[i]->engine;
            const double use = static_cast<double>(e.Counters().Received - fromBytes[i]) /
                               (elapsed * rate / e.Params().BitsPerChar);
            f.MeanUse += use / static_cast<double>(runs.size());
            f.WorstUse = std::min(f.WorstUse, use);
            f.Errors += e.Counters().Errors;
            wakes += bench::WakeUps(runs[i]->session);
        }
        f.WakeUps = static_cast<double>(wakes - wakeFrom) / elapsed / ports;
    }
    for (auto& run : runs) run->session.StopSession();
    runs.clear();
    for (const pid_t wire : wires) waitpid(wire, nullptr, 0);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int rate = argc > 2 ? std::atoi(argv[2]) : 460800;
    const std::string only = argc > 3 ? argv[3] : "";
    std::printf("BERT sessions at %d bit/s, maximum data speed, one 100 ms cycle, %.0f s a row\n",
                rate, seconds);
    std::printf("  %-5s  %-4s  %-8s  %9s  %9s  %9s  %9s  %11s  %9s  %9s  %s\n", "ports", "line",
                "flow", "CPU total", "x 1 port", "per port", "I/O thr.", "wake-ups/s", "line use",
                "worst", "errors");
    for (const bool pty : {false, true}) {
        if ((pty && only == "loop") || (!pty && only == "pty")) continue;
        for (const bool xonXoff : {false, true}) {
            double one = 0;
            for (const int ports : {1, 2, 4, 8}) {
                const Figures f = Measure(ports, pty, xonXoff, rate, seconds);
                if (!f.Ran) {
                    std::printf("  %5d  %-4s  %-8s  did not start\n", ports, pty ? "pty" : "LOOP",
                                xonXoff ? "Xon/Xoff" : "none");
                    continue;
                }
                if (ports == 1) one = f.Cpu;
                std::printf(
                    "  %5d  %-4s  %-8s  %7.2f %%  %9.1f  %7.3f %%  %7.2f %%  %11.0f  %7.2f %%  "
                    "%7.2f %%  %lld\n",
                    ports, pty ? "pty" : "LOOP", xonXoff ? "Xon/Xoff" : "none", 100 * f.Cpu,
                    one > 0 ? f.Cpu / one : 0.0, 100 * f.Cpu / ports, 100 * f.IoCpu, f.WakeUps,
                    100 * f.MeanUse, 100 * f.WorstUse, static_cast<long long>(f.Errors));
                std::fflush(stdout);
            }
        }
    }
    std::printf(
        "Targets: 8 ports without flow control at most 2 %% of one core in all; with "
        "Xon/Xoff at most 8 x one port.\n");
    return 0;
}
