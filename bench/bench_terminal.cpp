// The terminal window receiving a stream at 460800 bit/s from a far end paced at the line's
// rate, while a key is typed every second. Offscreen; the far end is a child process on the
// master side of a pseudo-terminal, so the figures are the tester's own (main thread and the
// port's I/O thread).
//
//   bench_terminal [seconds] [shape] [view]
//
// shape "nobreak" (the default): 'Z' without a line break, as a device that streams binary or
// unterminated data; "lines": text lines ending in CR LF. view "plain" (the default), "hex",
// "time" or "hex+time": the terminal's view of the bytes ("shown" then counts rendered text).
// Prints the resident memory at the start and the end, the process CPU as a share of one core, the
// main thread's CPU per 100 ms cycle, how long a typed key took to reach the far end, and whether
// every character the far end sent arrived in the text.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/TestSession.h"
#include "serial/SystemPortOpener.h"
#include "ui/forms/Uterm.h"

namespace kvartix {
namespace {

constexpr std::int32_t kBitRate = 460800;
constexpr double kCharsPerSecond = kBitRate / 10.0;
constexpr char kKey = 'k';

double CpuSeconds(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::int64_t MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

double ResidentMb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return 0;
}

// The far end, in a child: from a first byte on controlFd (the port configured, so the
// pseudo-terminal no longer echoes) to a second, sends the shape's characters at the line's
// rate; writes the arrival time of every key the port sends to reportFd,
// then the count it sent, and exits when the port's side closes.
[[noreturn]] void FarEnd(int master, const std::string& pattern, int controlFd, int reportFd) {
    char buf[4096];
    if (::read(controlFd, buf, 1) != 1) _exit(1);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::string out;
    while (out.size() < 65536) out += pattern;
    const std::int64_t start = MonotonicNs();
    std::int64_t sent = 0;
    bool sending = true;
    for (;;) {
        pollfd fds[2] = {{master, POLLIN, 0}, {controlFd, POLLIN, 0}};
        ::poll(fds, 2, 1);
        if (fds[1].revents && sending) {
            sending = false;
            (void)!::read(controlFd, buf, 1);
            const std::string line = "sent " + std::to_string(sent) + "\n";
            (void)!::write(reportFd, line.data(), line.size());
        }
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n < 0 && errno == EIO) _exit(0);
        const std::int64_t now = MonotonicNs();
        for (ssize_t i = 0; i < n; ++i) {
            if (buf[i] != kKey) continue;
            const std::string line = "key " + std::to_string(now) + "\n";
            (void)!::write(reportFd, line.data(), line.size());
        }
        if (!sending) continue;
        const auto due =
            static_cast<std::int64_t>(kCharsPerSecond * static_cast<double>(now - start) / 1e9);
        while (sent < due) {
            const auto offset =
                static_cast<std::size_t>(sent % static_cast<std::int64_t>(pattern.size()));
            const auto want = std::min<std::int64_t>(due - sent, 4096);
            const ssize_t w = ::write(master, out.data() + offset, static_cast<std::size_t>(want));
            if (w <= 0) break;  // the port's side is full: it falls behind, the far end does not
            sent += w;
        }
    }
}

class PrintBox final : public ErrorBoxSink {
  public:
    void ErrorBox(const std::string& text, bool) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

// The terminal window's text, counting the characters handed to it.
class CountingText final : public TerminalText {
  public:
    explicit CountingText(TerminalText& inner) : m_inner(inner) {}
    void BeginUpdate() override { m_inner.BeginUpdate(); }
    void EndUpdate() override { m_inner.EndUpdate(); }
    int LineCount() const override { return m_inner.LineCount(); }
    int LineLength(int line) const override { return m_inner.LineLength(line); }
    void DeleteLine(int line) override { m_inner.DeleteLine(line); }
    int EndPosition() const override { return m_inner.EndPosition(); }
    void SetSelStart(int position) override { m_inner.SetSelStart(position); }
    void SetSelLength(int length) override { m_inner.SetSelLength(length); }
    void ReplaceSelection(const std::u32string& text) override {
        for (const char32_t c : text) Shown += c != U'\n';
        m_inner.ReplaceSelection(text);
    }
    int LineIndex(int line) const override { return m_inner.LineIndex(line); }
    int LineFromChar(int position) const override { return m_inner.LineFromChar(position); }
    void ScrollLines(int lines) override { m_inner.ScrollLines(lines); }
    std::int64_t Shown = 0;  // characters, line breaks left out

  private:
    TerminalText& m_inner;
};

class TerminalView final : public NullEngineView {
  public:
    void Attach(TFterm& term) {
        m_term = &term;
        m_text = std::make_unique<CountingText>(term.Text());
    }
    TerminalText* Terminal() override { return m_text.get(); }
    void ClearTerminalText() override { m_term->Memo1->clear(); }
    std::int64_t Shown() const { return m_text->Shown; }

  private:
    TFterm* m_term = nullptr;
    std::unique_ptr<CountingText> m_text;
};

// The characters of the first n of an endless repetition of the pattern, line breaks left out.
std::int64_t Printable(const std::string& pattern, std::int64_t n) {
    std::int64_t count = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const char c = pattern[static_cast<std::size_t>(i) % pattern.size()];
        count += c != '\r' && c != '\n';
    }
    return count;
}

double At(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

}  // namespace
}  // namespace kvartix

int main(int argc, char** argv) {
    using namespace kvartix;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const std::string shape = argc > 2 ? argv[2] : "nobreak";
    const std::string viewChoice = argc > 3 ? argv[3] : "plain";
    const std::string pattern =
        shape == "lines" ? "The quick brown fox jumps over the lazy dog 0123456789\r\n" : "Z";

    // The far end first, before the application starts any thread.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 2;
    const std::string slave = ptsname(master);
    int controlPipe[2], reportPipe[2];
    if (pipe(controlPipe) != 0 || pipe(reportPipe) != 0) return 2;
    const pid_t child = fork();
    if (child == 0) FarEnd(master, pattern, controlPipe[0], reportPipe[1]);
    close(master);
    close(reportPipe[1]);

    QApplication app(argc, argv);
    SystemClock clock;
    PrintBox box;
    EventFactory factory;
    TransferEvents events;
    CreateTransferEvents(events, factory, box);
    SystemPortOpener opener(clock);
    TerminalView view;
    Engine engine(view, box, clock);
    TFterm term(engine.TerminalTxText);
    view.Attach(term);
    TestSession session(engine, view, opener, box, events);
    ProgramSettings settings;
    settings.TerminalHex = viewChoice.find("hex") != std::string::npos;
    settings.TerminalTimestamps = viewChoice.find("time") != std::string::npos;
    term.FormCreate("bench", settings);
    term.resize(425, 391);
    term.show();

    LineSettings s;
    s.Port = slave;
    s.BitRate = kBitRate;
    if (!session.Start(TestMode::Terminal, s)) return 2;
    (void)!write(controlPipe[1], "x", 1);  // the far end may begin

    std::vector<double> tickMs;
    std::vector<std::int64_t> typedNs;
    const double memStart = ResidentMb();
    double memPeak = memStart;
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto start = std::chrono::steady_clock::now();
    auto next = start;
    int tick = 0;
    const auto runTick = [&] {
        const double t0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        session.Tick();
        QCoreApplication::processEvents();
        tickMs.push_back(1e3 * (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0));
    };
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
        runTick();
        next += std::chrono::milliseconds(100);
        // A key once a second, at a moment that moves against the cycle.
        if (++tick % 10 == 0) {
            std::this_thread::sleep_until(next -
                                          std::chrono::milliseconds(10 + (tick / 10 * 37) % 80));
            QKeyEvent key(QEvent::KeyPress, Qt::Key_K, Qt::NoModifier, QString(QChar(kKey)));
            typedNs.push_back(MonotonicNs());
            QApplication::sendEvent(term.Memo1, &key);
        }
        std::this_thread::sleep_until(next);
        if (tick % 50 == 0) memPeak = std::max(memPeak, ResidentMb());
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    const double memEnd = ResidentMb();

    // The far end stops; what it sent has a few cycles to arrive.
    (void)!write(controlPipe[1], "x", 1);
    for (int i = 0; i < 10; ++i) {
        runTick();
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    const DriverErrorCounters errors = engine.DriverErrors();
    session.StopSession();
    std::string report;
    char buf[4096];
    for (ssize_t n; (n = read(reportPipe[0], buf, sizeof buf)) > 0;) {
        report.append(buf, static_cast<std::size_t>(n));
        if (report.find("sent ") != std::string::npos && report.back() == '\n') break;
    }
    waitpid(child, nullptr, 0);
    std::int64_t sent = 0;
    std::vector<double> latencyMs;
    std::size_t key = 0;
    for (std::size_t at = 0; at < report.size();) {
        const std::size_t end = report.find('\n', at);
        const std::string line = report.substr(at, end - at);
        if (line.rfind("sent ", 0) == 0) sent = std::atoll(line.c_str() + 5);
        if (line.rfind("key ", 0) == 0 && key < typedNs.size())
            latencyMs.push_back(static_cast<double>(std::atoll(line.c_str() + 4) - typedNs[key++]) /
                                1e6);
        at = end + 1;
    }
    std::printf(
        "terminal window, %s view, %s stream at %d bit/s from a paced far end, %.0f s, %zu "
        "cycles\n",
        viewChoice.c_str(), shape.c_str(), kBitRate, wall, tickMs.size());
    std::printf("  text kept            %d lines, %d characters\n",
                term.Memo1->document()->blockCount(), term.Memo1->document()->characterCount() - 1);
    std::printf("  far end sent         %.0f characters/s (the line carries %.0f)\n",
                static_cast<double>(sent) / wall, kCharsPerSecond);
    std::printf(
        "  shown in the text    %lld of %lld sent, driver errors parity %d overrun %d framing %d "
        "other %d\n",
        static_cast<long long>(view.Shown()), static_cast<long long>(Printable(pattern, sent)),
        errors.ParityErrors, errors.OverrunErrors, errors.FramingErrors, errors.OtherErrors);
    std::printf(
        "  resident memory      %.1f MB at the start, %.1f MB at the end, %.1f MB at most\n",
        memStart, memEnd, memPeak);
    std::printf("  process CPU          %.2f %% of one core\n", 100.0 * cpu / wall);
    std::printf("  main thread per cycle median %.2f ms, 99th percentile %.2f ms, most %.2f ms\n",
                At(tickMs, 0.5), At(tickMs, 0.99), At(tickMs, 1.0));
    if (std::getenv("KVARTIX_BENCH_VERBOSE"))
        for (double l : latencyMs) std::printf("  key %.1f ms\n", l);
    std::printf("  typed key to the far end, %zu keys: median %.0f ms, most %.0f ms\n",
                latencyMs.size(), At(latencyMs, 0.5), At(latencyMs, 1.0));
    return 0;
}
