// The terminal window receiving a stream at 460800 bit/s from a far end paced at the line's
// rate, while a key is typed every second. Offscreen; the far end is a child process on the
// master side of a pseudo-terminal, so the figures are the tester's own (main thread and the
// port's I/O thread).
//
//   bench_terminal [seconds] [shape] [view]
//
// shape "nobreak" (the default): 'Z' without a line break, as a device that streams binary or
// unterminated data; "lines": text lines ending in CR LF. view "plain" (the default), "hex",
// "time" or "hex+time": the terminal's view of the bytes.
// Prints the resident memory at the start and the end, the process CPU as a share of one core, the
// main thread's CPU per 100 ms cycle, how long a typed key took to reach the far end, and whether
// every character the far end sent reached the window.
//
// In the same run, as the reference for what drawing the stream costs on this machine, the
// same stream (in a hex or time view, the text the view shows) goes from a second
// pseudo-terminal through `cat` into an `xterm` on the same display for the same seconds; the
// CPU of cat and xterm is printed beside the window's, and the X server's beside each. Run it
// under Xvfb so both draw on one server, kept from resetting when xterm, its only client,
// goes: xvfb-run -a -s "-noreset -screen 0 1280x1024x24" bench_terminal 20 all. Without a
// display the window runs offscreen and the reference is left out. shape "all" runs lines, one endless line, hex and hex with times, one child each, and
// prints the table.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
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
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/TerminalRender.h"
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
[[noreturn]] void FarEnd(int master, const std::string& pattern, int controlFd, int reportFd,
                         double charsPerSecond = kCharsPerSecond) {
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
            static_cast<std::int64_t>(charsPerSecond * static_cast<double>(now - start) / 1e9);
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

// The terminal window's text, counting the characters of the batches handed to it; each
// batch goes to the window's own receive path, so its view (hex, times) is what is measured.
class CountingText final : public TerminalText {
  public:
    explicit CountingText(TerminalText& inner) : m_inner(inner) {}
    void BeginUpdate() override { m_inner.BeginUpdate(); }
    void EndUpdate() override { m_inner.EndUpdate(); }
    int LineCount() const override { return m_inner.LineCount(); }
    int LineLength(int line) const override { return m_inner.LineLength(line); }
    void DeleteLine(int line) override { m_inner.DeleteLine(line); }
    void DeleteFirstLines(int count) override { m_inner.DeleteFirstLines(count); }
    int EndPosition() const override { return m_inner.EndPosition(); }
    void SetSelStart(int position) override { m_inner.SetSelStart(position); }
    void SetSelLength(int length) override { m_inner.SetSelLength(length); }
    void ReplaceSelection(const std::u32string& text) override { m_inner.ReplaceSelection(text); }
    int LineIndex(int line) const override { return m_inner.LineIndex(line); }
    int LineFromChar(int position) const override { return m_inner.LineFromChar(position); }
    void ScrollLines(int lines) override { m_inner.ScrollLines(lines); }
    void Receive(const std::uint8_t* data, std::size_t count, LineBreakState& breaks) override {
        for (std::size_t i = 0; i < count; ++i) Shown += data[i] != '\r' && data[i] != '\n';
        m_inner.Receive(data, count, breaks);
    }
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


// CPU seconds a process has used, user and system; 0 once it is gone.
double ProcessCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const auto nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos) return 0;
    std::istringstream fields(text.substr(nameEnd + 1));
    std::vector<std::string> f;
    for (std::string field; fields >> field;) f.push_back(field);
    // From the state (field 3) on: utime is field 14, stime field 15.
    if (f.size() < 13) return 0;
    return (std::atof(f[11].c_str()) + std::atof(f[12].c_str())) /
           static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The X server of the display, found by its command line; 0 when none is found.
pid_t DisplayServer() {
    const char* display = std::getenv("DISPLAY");
    if (!display) return 0;
    const std::string number = std::string(display).substr(std::string(display).find(':'));
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream cmdline(entry.path() / "cmdline");
        std::vector<std::string> args;
        for (std::string arg; std::getline(cmdline, arg, '\0');) args.push_back(arg);
        if (args.empty()) continue;
        const std::string program = args[0].substr(args[0].rfind('/') + 1);
        if (program != "Xvfb" && program != "Xorg" && program != "X") continue;
        if (std::find(args.begin(), args.end(), number) != args.end()) return std::atoi(name.c_str());
    }
    return 0;
}

// The text the view shows for an endless repetition of the pattern, itself endlessly
// repeatable: whole patterns filling whole hex rows.
std::string ShownText(const std::string& pattern, TerminalViewOptions view) {
    if (!view.Hex && !view.Timestamps) return pattern;
    std::string raw;
    do raw += pattern;
    while (raw.size() % 16 != 0);
    TerminalRender render(view);
    return render.Feed(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size(),
                       12 * 3600000);
}

struct Reference {
    bool Ran = false;
    double Cat = 0;    // % of one core
    double Xterm = 0;  // % of one core
    double Sent = 0;   // characters/s the far end sent
    double Server = 0;  // the X server meanwhile, % of one core
};

// `cat` of a pseudo-terminal fed the text at the rate into an xterm, for the seconds.
Reference RunReference(const std::string& text, double charsPerSecond, double seconds) {
    Reference r;
    if (!std::getenv("DISPLAY")) return r;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return r;
    const std::string slave = ptsname(master);
    // Raw and without echo, as the window's port is: cat gets the bytes as they come.
    const int slaveFd = open(slave.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(slaveFd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B460800);
    tcsetattr(slaveFd, TCSANOW, &t);
    int controlPipe[2], reportPipe[2];
    if (pipe(controlPipe) != 0 || pipe(reportPipe) != 0) return r;
    const pid_t far = fork();
    if (far == 0) {
        close(controlPipe[1]);  // so that it sees this process end
        close(reportPipe[0]);
        FarEnd(master, text, controlPipe[0], reportPipe[1], charsPerSecond);
    }
    close(master);
    close(reportPipe[1]);
    const pid_t xterm = fork();
    if (xterm == 0) {
        execlp("xterm", "xterm", "-geometry", "80x24", "-e", "cat", slave.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    pid_t cat = 0;
    const std::string children =
        "/proc/" + std::to_string(xterm) + "/task/" + std::to_string(xterm) + "/children";
    for (int i = 0; i < 300 && cat == 0; ++i) {
        std::ifstream list(children);
        list >> cat;
        if (cat == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (cat == 0) {
        std::fprintf(stderr, "no xterm with cat came up\n");
    } else {
        (void)!write(controlPipe[1], "x", 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // xterm settles
        const pid_t server = DisplayServer();
        const double cat0 = ProcessCpuSeconds(cat), xterm0 = ProcessCpuSeconds(xterm);
        const double server0 = server ? ProcessCpuSeconds(server) : 0;
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double cat1 = ProcessCpuSeconds(cat), xterm1 = ProcessCpuSeconds(xterm);
        const double server1 = server ? ProcessCpuSeconds(server) : 0;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        (void)!write(controlPipe[1], "x", 1);
        r.Ran = true;
        r.Cat = 100.0 * (cat1 - cat0) / wall;
        r.Xterm = 100.0 * (xterm1 - xterm0) / wall;
        r.Server = 100.0 * (server1 - server0) / wall;
        std::string report;
        char buf[256];
        for (ssize_t n; report.find('\n') == std::string::npos &&
                        (n = read(reportPipe[0], buf, sizeof buf)) > 0;)
            report.append(buf, static_cast<std::size_t>(n));
        if (report.rfind("sent ", 0) == 0)
            r.Sent = static_cast<double>(std::atoll(report.c_str() + 5)) / (wall + 0.5);
    }
    kill(xterm, SIGTERM);
    waitpid(xterm, nullptr, 0);
    close(slaveFd);
    kill(far, SIGKILL);
    waitpid(far, nullptr, 0);
    close(controlPipe[0]);
    close(controlPipe[1]);
    close(reportPipe[0]);
    return r;
}

// Every stream of the table, each run by a child of this program; their rows make the table.
int RunAll(const char* self, double seconds) {
    struct Stream {
        const char* Name;
        const char* Shape;
        const char* View;
    };
    const Stream streams[] = {{"lines", "lines", "plain"},
                              {"one endless line", "nobreak", "plain"},
                              {"hex", "lines", "hex"},
                              {"hex with times", "lines", "hex+time"}};
    std::string table;
    for (const Stream& s : streams) {
        const std::string command = std::string(self) + " " + std::to_string(seconds) + " " +
                                    s.Shape + " " + s.View;
        FILE* child = popen(command.c_str(), "r");
        if (!child) return 2;
        char line[512];
        while (std::fgets(line, sizeof line, child)) {
            std::fputs(line, stdout);
            float kvartix = 0, cat = 0, xterm = 0, server = 0, serverRef = 0;
            if (std::sscanf(line, "row %f %f %f %f %f", &kvartix, &cat, &xterm, &server,
                            &serverRef) == 5) {
                char row[200];
                std::snprintf(row, sizeof row,
                              "  %-18s %6.2f %%  %5.2f + %5.2f = %5.2f %%  %5.2f  %5.2f %%  %5.2f %%  %.2f\n",
                              s.Name, kvartix, cat, xterm, cat + xterm,
                              cat + xterm > 0 ? kvartix / (cat + xterm) : 0.0, server, serverRef,
                              cat + xterm + serverRef > 0
                                  ? (kvartix + server) / (cat + xterm + serverRef)
                                  : 0.0);
                table += row;
            }
        }
        pclose(child);
    }
    std::printf("\n  %-18s %8s  %-22s  %5s  %-16s  %s\n", "stream", "KVARTIX", "cat + xterm", "ratio",
                "X server (K, ref)", "ratio with X");
    std::fputs(table.c_str(), stdout);
    return 0;
}
}  // namespace
}  // namespace kvartix

int main(int argc, char** argv) {
    using namespace kvartix;
    // On the display when there is one, so that the window draws where the reference does.
    if (!std::getenv("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;
    const std::string shape = argc > 2 ? argv[2] : "nobreak";
    const std::string viewChoice = argc > 3 ? argv[3] : "plain";
    if (shape == "all") return RunAll(argv[0], seconds);
    const std::string pattern =
        shape == "lines" ? "The quick brown fox jumps over the lazy dog 0123456789\r\n" : "Z";

    // The far end first, before the application starts any thread.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return 2;
    const std::string slave = ptsname(master);
    int controlPipe[2], reportPipe[2];
    if (pipe(controlPipe) != 0 || pipe(reportPipe) != 0) return 2;
    const pid_t child = fork();
    if (child == 0) {
        close(controlPipe[1]);  // so that it sees this process end
        close(reportPipe[0]);
        FarEnd(master, pattern, controlPipe[0], reportPipe[1]);
    }
    close(master);
    close(reportPipe[1]);

    // The reference first, while this process has no other thread to fork beside.
    TerminalViewOptions options;
    options.Hex = viewChoice.find("hex") != std::string::npos;
    options.Timestamps = viewChoice.find("time") != std::string::npos;
    const std::string shown = ShownText(pattern, options);
    std::string raw;
    do raw += pattern;
    while (raw.size() % 16 != 0);
    const Reference reference =
        RunReference(shown,
                     kCharsPerSecond * static_cast<double>(shown.size()) /
                         static_cast<double>(options.Hex || options.Timestamps ? raw.size()
                                                                                : pattern.size()),
                     seconds);

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
    settings.TerminalHex = options.Hex;
    settings.TerminalTimestamps = options.Timestamps;
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
    const pid_t server = DisplayServer();
    const double server0 = server ? ProcessCpuSeconds(server) : 0;
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
    const double serverCpu = server ? ProcessCpuSeconds(server) - server0 : 0;
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
        "  reached the window   %lld of %lld sent, driver errors parity %d overrun %d framing %d "
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
    if (reference.Ran) {
        std::printf(
            "  reference            cat %.2f %% + xterm %.2f %% = %.2f %% of one core, the same "
            "text at %.0f characters/s\n",
            reference.Cat, reference.Xterm, reference.Cat + reference.Xterm, reference.Sent);
        std::printf("  X server             %.2f %% of one core beside the window, %.2f %% beside xterm\n",
                    100.0 * serverCpu / wall, reference.Server);
        std::printf("row %.2f %.2f %.2f %.2f %.2f\n", 100.0 * cpu / wall, reference.Cat,
                    reference.Xterm, 100.0 * serverCpu / wall, reference.Server);
    }
    return 0;
}
