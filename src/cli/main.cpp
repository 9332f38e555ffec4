// Headless runner: a BERT through the engine on a 100 ms cycle, one line a second.
#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/TestSession.h"
#include "serial/SystemPortOpener.h"

namespace {

using namespace kvartix;

class PrintingView final : public EngineView {
public:
    void ShowDriverError(DriverErrorRow, bool, std::int32_t, std::uint32_t) override {}
    void ShowPacketError(PacketErrorRow, bool, std::int32_t) override {}
    void SetLed(Led, bool) override {}
    void SetErrorsCellAlarm(bool) override {}
    void RefreshErrorPanel() override {}
    void ResetChart() override {}
    void ClearTerminalText() override {}
};

class StderrBox final : public ErrorBoxSink {
public:
    void ErrorBox(const std::string& text, bool) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

}  // namespace

int main() {
    SystemClock clock;
    PrintingView view;
    StderrBox box;
    EventFactory factory;
    TransferEvents events;
    if (!CreateTransferEvents(events, factory, box)) return 2;
    SystemPortOpener opener(clock);
    Engine engine(view, box, clock);
    TestSession session(engine, opener, box, events);

    LineSettings settings;
    if (!session.Start(TestMode::Bert, settings)) return 2;
    const auto start = std::chrono::steady_clock::now();
    auto next = start;
    int shown = 0;
    while (session.Running() && std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
        session.Tick();
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const int secs = static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
        if (secs > shown) {
            shown = secs;
            std::printf("%2d s  received %lld  errors %lld\n", secs,
                        static_cast<long long>(engine.Counters.Received),
                        static_cast<long long>(engine.Counters.Errors));
            std::fflush(stdout);
        }
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    session.StopSession();
    return engine.Counters.Errors == 0 ? 0 : 1;
}
