// The terminal window receiving a continuous stream at 460800 bit/s on LOOP: what the text
// goes through every 100 ms costs the main thread. Offscreen; prints the process CPU as a
// share of one core and the main thread's time per tick.
#include <QApplication>
#include <QPlainTextEdit>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "engine/TestSession.h"
#include "serial/SystemPortOpener.h"
#include "ui/forms/Uterm.h"

namespace kvartix {
namespace {

double CpuSeconds(clockid_t id) {
    timespec t{};
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class TerminalView final : public NullEngineView {
public:
    explicit TerminalView(TFterm& term) : m_term(term) {}
    TerminalText* Terminal() override { return &m_term.Text(); }
    void ClearTerminalText() override { m_term.Memo1->clear(); }

private:
    TFterm& m_term;
};

class PrintBox final : public ErrorBoxSink {
public:
    void ErrorBox(const std::string& text, bool) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

}  // namespace
}  // namespace kvartix

int main(int argc, char** argv) {
    using namespace kvartix;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30.0;

    SystemClock clock;
    PrintBox box;
    EventFactory factory;
    TransferEvents events;
    CreateTransferEvents(events, factory, box);
    SystemPortOpener opener(clock);
    std::string unused;
    TFterm term(unused);
    TerminalView view(term);
    Engine engine(view, box, clock);
    TestSession session(engine, view, opener, box, events);
    term.FormCreate("bench", ProgramSettings{});
    term.resize(425, 391);
    term.show();

    LineSettings s;
    s.BitRate = 460800;
    if (!session.Start(TestMode::Terminal, s)) return 2;
    // What a far end would send: text lines, fed as fast as the line carries them.
    std::string line = "The quick brown fox jumps over the lazy dog 0123456789\r\n";
    std::vector<double> tickMs;
    std::size_t fed = 0;
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto start = std::chrono::steady_clock::now();
    auto next = start;
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds)) {
        while (engine.TerminalTxText.size() < 10000) {
            engine.TerminalTxText += line;
            fed += line.size();
        }
        const double t0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        session.Tick();
        QCoreApplication::processEvents();
        tickMs.push_back(1e3 * (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0));
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    std::sort(tickMs.begin(), tickMs.end());
    const auto at = [&](double q) { return tickMs[static_cast<std::size_t>(q * static_cast<double>(tickMs.size() - 1))]; };
    std::printf("terminal window, LOOP 460800 bit/s, %.0f s, %zu ticks, %d lines kept\n", wall,
                tickMs.size(), term.Memo1->document()->blockCount());
    std::printf("  carried              %.0f characters/s\n",
                static_cast<double>(fed - engine.TerminalTxText.size()) / wall);
    std::printf("  process CPU          %.2f %% of one core\n", 100.0 * cpu / wall);
    std::printf("  main thread per tick median %.2f ms, 99th percentile %.2f ms\n", at(0.5), at(0.99));
    session.StopSession();
    return 0;
}
