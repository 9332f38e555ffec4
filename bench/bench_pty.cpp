// Throughput and CPU cost of the posix backend: a BERT through the engine over a
// pseudo-terminal whose far end, a child process, echoes everything back.
//
// 1. The engine's own 100 ms cycle over a far end that carries the characters at the line's
//    real rate, at 115200 and 460800 bit/s: maximum data speed without and with Xon/Xoff, and
//    random data speed with Xon/Xoff. Errors, how much of the line was used and the process's
//    share of a core.
// 2. Cycles back to back over an echo without a rate, each as soon as the previous write has
//    come back: the backend's ceiling and its cost per megabyte.
//
// The far end runs in a child process, so the figures are the engine's thread and the port's
// I/O thread alone.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchSession.h"
#include "serial/posix/PosixCommPort.h"
#include "testkit/Pty.h"

namespace {

using namespace kvartix;
using Steady = std::chrono::steady_clock;

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

struct Cpu {
    double Process = 0;  // this process: the engine's thread and the I/O thread
    double Main = 0;     // the engine's thread
    static Cpu Now() {
        rusage self{}, thread{};
        getrusage(RUSAGE_SELF, &self);
        getrusage(RUSAGE_THREAD, &thread);
        return {Seconds(self.ru_utime) + Seconds(self.ru_stime),
                Seconds(thread.ru_utime) + Seconds(thread.ru_stime)};
    }
};

// A pseudo-terminal whose master belongs to a child that echoes until the slave closes, at
// the given rate in characters a second, or as fast as it can with 0.
std::string StartEcho(pid_t& child, double charsPerSecond = 0) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {};
    const std::string slave = ptsname(master);
    child = fork();
    if (child == 0 && charsPerSecond > 0) {
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        kvartix::test::CarryLikeAWire(master, charsPerSecond, -1);
        _exit(0);
    }
    if (child == 0) {
        std::vector<char> buf(65536);
        for (;;) {
            const ssize_t n = read(master, buf.data(), buf.size());
            if (n <= 0) _exit(0);
            for (ssize_t done = 0; done < n;) {
                const ssize_t w =
                    write(master, buf.data() + done, static_cast<std::size_t>(n - done));
                if (w <= 0) _exit(0);
                done += w;
            }
        }
    }
    close(master);
    return slave;
}

struct Run {
    double WallSeconds = 0;
    std::int64_t Bytes = 0;
    std::int64_t Errors = 0;
    std::int64_t DriverErrors = 0;  // cycles with an overrun, a lost character or another
    std::int64_t SteadyBytes = 0;   // from the first second on, when the line is full
    double SteadySeconds = 0;
    Cpu Used;
};

// Paced: one cycle every 100 ms for the given time. Unpaced: each cycle once the previous
// write has come back, until the given amount has.
Run Bert(const std::string& port, bool paced, double seconds, std::int64_t bytes,
         LineSettings s = {}) {
    bench::BenchSession run;
    Engine& engine = run.engine;
    TestSession& session = run.session;
    s.Port = port;
    if (!session.Start(TestMode::Bert, s)) return {};
    auto& posix = dynamic_cast<PosixCommPort&>(*session.Port());

    const Cpu cpu0 = Cpu::Now();
    const auto start = Steady::now();
    auto next = start;
    std::uint64_t written = 0;
    std::int64_t steadyBytes = -1;  // received by the first tick past one second
    Steady::time_point steadyFrom;
    while (session.Running()) {
        if (paced && steadyBytes < 0 && Steady::now() - start >= std::chrono::seconds(1)) {
            steadyBytes = engine.Counters().Received;
            steadyFrom = Steady::now();
        }
        if (paced && Steady::now() - start >= std::chrono::duration<double>(seconds)) break;
        if (!paced && engine.Counters().Received >= bytes) break;
        session.Tick();
        if (paced) {
            next += std::chrono::milliseconds(100);
            std::this_thread::sleep_until(next);
            continue;
        }
        if (engine.State().WritePending) written += engine.State().WriteAmount;
        for (;;) {
            const auto t = posix.TrafficSoFar();
            if (t.Sent == written && t.Received == written) break;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    Run r;
    r.WallSeconds = std::chrono::duration<double>(Steady::now() - start).count();
    r.Bytes = engine.Counters().Received;
    if (steadyBytes >= 0) {
        r.SteadyBytes = r.Bytes - steadyBytes;
        r.SteadySeconds = std::chrono::duration<double>(Steady::now() - steadyFrom).count();
    }
    r.Errors = engine.Counters().Errors;
    const auto& d = engine.DriverErrors();
    r.DriverErrors = d.ParityErrors + d.OverrunErrors + d.FramingErrors + d.OtherErrors;
    const Cpu cpu1 = Cpu::Now();
    r.Used = {cpu1.Process - cpu0.Process, cpu1.Main - cpu0.Main};
    session.StopSession();
    return r;
}

void ReportLine(const char* name, int rate, const Run& r) {
    const double capacity = r.SteadySeconds * rate / 10.0;
    std::printf(
        "%-34s %7d bit/s  %6.2f s  %lld errors  %lld driver errors  line used %6.2f %%  "
        "CPU %5.2f %% of a core\n",
        name, rate, r.WallSeconds, static_cast<long long>(r.Errors),
        static_cast<long long>(r.DriverErrors),
        100.0 * static_cast<double>(r.SteadyBytes) / capacity,
        100.0 * r.Used.Process / r.WallSeconds);
}

void Report(const char* name, const Run& r) {
    const auto bytes = static_cast<double>(r.Bytes);
    const double rate = bytes / r.WallSeconds;
    std::printf("%s\n", name);
    std::printf("  received            %lld bytes in %.2f s, %lld errors\n",
                static_cast<long long>(r.Bytes), r.WallSeconds, static_cast<long long>(r.Errors));
    std::printf("  rate                %.0f bytes/s (%.2f MB/s)\n", rate, rate / 1e6);
    std::printf("  CPU per second      %.1f ms (engine %.1f ms, I/O thread %.1f ms)\n",
                1e3 * r.Used.Process / r.WallSeconds, 1e3 * r.Used.Main / r.WallSeconds,
                1e3 * (r.Used.Process - r.Used.Main) / r.WallSeconds);
    std::printf("  CPU per MB          %.2f ms\n", 1e3 * r.Used.Process / (bytes / 1e6));
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    std::printf(
        "BERT, engine cycle 100 ms, over a far end wired TX to RX "
        "that carries the line's rate\n");
    for (const int rate : {115200, 460800}) {
        for (const int flow : {0, 1, 2}) {
            const bool xonXoff = flow > 0;
            pid_t wire = -1;
            const std::string port = StartEcho(wire, rate / 10.0);
            if (port.empty() || wire < 0) {
                std::fprintf(stderr, "no pseudo-terminal\n");
                return 2;
            }
            LineSettings s;
            s.BitRate = rate;
            s.XonXoff = xonXoff;
            s.RandomFlow = flow == 2;
            const char* names[] = {"  without flow control", "  with Xon/Xoff",
                                   "  with Xon/Xoff, random data speed"};
            ReportLine(names[flow], rate, Bert(port, true, seconds, 0, s));
            waitpid(wire, nullptr, 0);
        }
    }
    pid_t child = -1;
    const std::string port = StartEcho(child);
    if (port.empty() || child < 0) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 2;
    }
    Report("BERT over a pseudo-terminal echo, cycles back to back",
           Bert(port, false, 0, 20'000'000));
    // The echo ends when the slave closes; it is waited for, not killed.
    waitpid(child, nullptr, 0);
    return 0;
}
