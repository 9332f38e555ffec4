// Flow control of the posix backend against far ends paced at the line's rate.
//
// 1. The lead: how much line time the kernel may hold ahead of the wire under Xon/Xoff. A far
//    end in a child process takes our stream at the line's rate and sends Xoff every half
//    second; it counts what still reaches it in the 100 ms after each Xoff, then sends Xon.
//    Printed for a few leads: the most and the mean characters after an Xoff, the I/O
//    thread's wake-ups a second and this process's share of a core.
// 3. BERT at random data speed under Xon/Xoff over a plug that carries only 60 % of the
//    line's rate: errors, driver errors and our Xoffs.
// 2. Loopback sessions under Xon/Xoff through the engine's 100 ms cycle, against a far end
//    that sends a known stream at the line's rate, obeys our Xon/Xoff and checks the echo:
//    byte-exact, and an Xon after every Xoff.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchSession.h"
#include "serial/posix/PosixCommPort.h"
#include "testkit/Pty.h"

namespace {

using namespace kvartix;
using bench::CpuSeconds;
using Steady = std::chrono::steady_clock;

// The child: reads at the line's rate; every 500 ms an Xoff, 100 ms of counting, an Xon.
// Writes the counts to the pipe as one int each.
[[noreturn]] void XoffFarEnd(int master, double charsPerSecond, int rounds, int report) {
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::vector<std::uint8_t> buf(65536);
    double credit = 0;
    auto last = Steady::now();
    auto nextXoff = last + std::chrono::milliseconds(500);
    bool counting = false;
    int after = 0;
    Steady::time_point countUntil;
    for (int done = 0; done < rounds;) {
        pollfd p{master, POLLIN, 0};
        poll(&p, 1, 1);
        const auto now = Steady::now();
        credit = std::min(credit + charsPerSecond * std::chrono::duration<double>(now - last).count(),
                          64.0 + charsPerSecond / 1000);
        last = now;
        const auto want = static_cast<std::size_t>(credit);
        const ssize_t n = want ? read(master, buf.data(), std::min(buf.size(), want)) : 0;
        if (n > 0) {
            credit -= static_cast<double>(n);
            if (counting) after += static_cast<int>(n);
        }
        if (!counting && now >= nextXoff) {
            const std::uint8_t xoff = kXoffChar;
            (void)!write(master, &xoff, 1);
            counting = true;
            after = 0;
            countUntil = now + std::chrono::milliseconds(100);
        } else if (counting && now >= countUntil) {
            (void)!write(report, &after, sizeof after);
            const std::uint8_t xon = kXonChar;
            (void)!write(master, &xon, 1);
            counting = false;
            nextXoff = now + std::chrono::milliseconds(400);
            ++done;
        }
    }
    _exit(0);
}

struct LeadFigures {
    int Most = 0;
    double Mean = 0;
    double WakeUpsPerSecond = 0;
    double CpuShare = 0;
};

LeadFigures MeasureLead(int rate, double leadUs, int rounds,
                        double marginUs = PosixCommPort::kDefaultWakeMarginUs) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {};
    const std::string slave = ptsname(master);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        XoffFarEnd(master, rate / 10.0, rounds, pipeFds[1]);
    }
    close(pipeFds[1]);
    auto port = PosixCommPort::Open(SystemCalls(), slave);
    close(master);
    if (!port) return {};
    port->SetLeadUs(leadUs);
    port->SetWakeMarginUs(marginUs);
    LineConfig c;
    port->GetCommState(c);
    c.BaudRate = static_cast<std::uint32_t>(rate);
    c.ByteSize = 8;
    c.Parity = c.StopBits = 0;
    c.fOutX = c.fInX = true;
    c.XonChar = kXonChar;
    c.XoffChar = kXoffChar;
    c.XonLim = c.XoffLim = 6000;
    port->SetupComm(60000, 60000);
    port->SetCommState(c);

    std::vector<std::uint8_t> data(60000, 'd');
    CompletionEvent event;
    TransferRecord wt{&event};
    const double cpu0 = CpuSeconds();
    const auto start = Steady::now();
    const auto wake0 = port->TrafficSoFar().WakeUps;
    std::vector<int> after;
    bool pending = false;
    while (static_cast<int>(after.size()) < rounds) {
        std::uint32_t n = 0;
        if (!pending || port->GetOverlappedResult(wt, n) != IoResult::Pending)
            pending = port->WriteFile(wt, data.data(), 60000, n) == IoResult::Pending;
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            int count = 0;
            if (read(pipeFds[0], &count, sizeof count) == sizeof count) after.push_back(count);
        }
    }
    const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
    LeadFigures f;
    f.WakeUpsPerSecond = static_cast<double>(port->TrafficSoFar().WakeUps - wake0) / seconds;
    f.CpuShare = (CpuSeconds() - cpu0) / seconds;
    port->CloseHandle();
    close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    f.Most = *std::max_element(after.begin(), after.end());
    for (int a : after) f.Mean += a;
    f.Mean /= static_cast<double>(after.size());
    return f;
}

// The pseudo-terminal's line at the rate, Xon/Xoff on.
LineSettings XonXoffLine(const test::PtyMaster& master, int rate, bool random) {
    LineSettings s;
    s.Port = master.SlavePath();
    s.BitRate = rate;
    s.XonXoff = true;
    s.RandomFlow = random;
    return s;
}

void LoopbackRun(int rate, bool random, double seconds) {
    test::PtyMaster master;
    bench::BenchSession run;
    TestSession& session = run.session;
    if (!session.Start(TestMode::Loopback, XonXoffLine(master, rate, random))) return;
    session.Tick();
    master.Receive(1);  // our first Xon
    const double cps = rate / 10.0;
    // Random data speed echoes about half the line: half the stream fills the same time.
    const double streamSeconds = random ? seconds / 2 : seconds;
    test::PtySource source(master, cps, static_cast<std::size_t>(cps * streamSeconds), true);
    auto next = Steady::now();
    const auto end = next + std::chrono::duration<double>(seconds * 1.5 + 3);
    while (next < end && source.BackCount() < source.Stream().size() && session.Running()) {
        session.Tick();
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    source.Stop();
    session.StopSession();
    const bool exact = source.Back() == source.Stream();
    std::printf("  %7d bit/s  %-8s  sent %8zu  echoed %8zu  %s  Xoff %4zu  Xon %4zu  %s\n", rate,
                random ? "random" : "maximum", source.Stream().size(), source.Back().size(),
                exact ? "byte-exact" : "DIFFERS   ", source.Xoffs(), source.Xons(),
                source.HeldAtEnd() ? "HELD AT THE END" : "released");
}

void SlowPlugRun(int rate, double share, double seconds) {
    test::PtyMaster master;
    bench::BenchSession run;
    Engine& engine = run.engine;
    TestSession& session = run.session;
    test::PtyWire wire(master, share * rate / 10.0);
    if (!session.Start(TestMode::Bert, XonXoffLine(master, rate, true))) return;
    auto next = Steady::now();
    const auto end = next + std::chrono::duration<double>(seconds);
    while (next < end && session.Running()) {
        session.Tick();
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    const auto flowSent = dynamic_cast<PosixCommPort&>(*session.Port()).TrafficSoFar().FlowSent;
    session.StopSession();
    const auto& d = engine.DriverErrors();
    std::printf(
        "  %7d bit/s  plug at %3.0f %%  received %8lld  errors %lld  overrun %d  other %d  "
        "our Xon/Xoff %llu\n",
        rate, 100 * share, static_cast<long long>(engine.Counters().Received),
        static_cast<long long>(engine.Counters().Errors), d.OverrunErrors, d.OtherErrors,
        static_cast<unsigned long long>(flowSent));
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    std::printf("Characters a far end paced at the line's rate receives after its Xoff\n");
    std::printf("  %7s  %7s  %5s  %6s  %11s  %s\n", "bit/s", "lead", "most", "mean",
                "wake-ups/s", "CPU of a core");
    for (const int rate : {115200, 460800}) {
        const auto row = [rate](double lead, const LeadFigures& f, const char* note) {
            std::printf("  %7d  %5.0f us  %5d  %6.1f  %11.0f  %.2f %%   (5 ms + 16 = %d)%s\n", rate,
                        lead, f.Most, f.Mean, f.WakeUpsPerSecond, 100 * f.CpuShare,
                        rate / 2000 + 16, note);
        };
        for (const double lead : {1000.0, 2000.0, 4000.0, 6000.0, 10000.0})
            row(lead, MeasureLead(rate, lead, 10), "");
        // The writer before, which topped the lead up with 3 ms of it left.
        row(6000, MeasureLead(rate, 6000, 10, 3000), "  before: 3 ms margin");
    }
    std::printf("Loopback under Xon/Xoff for about %.0f s, a far end paced at the line's rate\n",
                seconds);
    for (const int rate : {9600, 115200, 460800})
        for (const bool random : {false, true}) LoopbackRun(rate, random, seconds);
    std::printf("BERT at random data speed under Xon/Xoff for %.0f s over a slow plug\n", seconds);
    for (const int rate : {115200, 460800}) SlowPlugRun(rate, 0.6, seconds);
    return 0;
}
