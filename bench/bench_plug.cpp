// What the built-in plugs cost the process: characters carried per CPU second through LOOP and
// through a cable with both ends sending, on a clock moved in 100 ms cycles as the engine's,
// so the ratio to the line's own rate says how far above real time the plug runs.
#include <cstdio>
#include <vector>

#include "BenchSession.h"
#include "serial/SystemPortOpener.h"

namespace {

using namespace kvartix;

class SteppedClock final : public Clock {
  public:
    std::int64_t NowUs() const override { return m_now; }
    std::int64_t WallUs() const override { return m_now; }
    void AdvanceMs(std::int64_t ms) { m_now += ms * 1000; }

  private:
    std::int64_t m_now = 0;
};

// A port kept busy: a write as soon as the last completed, everything read each cycle.
struct Busy {
    std::unique_ptr<CommPort> Port;
    std::vector<std::uint8_t> Out = std::vector<std::uint8_t>(60000, 0x55), In = Out;
    CompletionEvent Event;
    TransferRecord Wt{&Event}, Rt{};
    bool Writing = false;
    std::int64_t Received = 0;

    void Configure(std::uint32_t rate, bool xonXoff) {
        LineConfig c;
        Port->GetCommState(c);
        c.BaudRate = rate;
        c.fOutX = c.fInX = xonXoff;
        c.XonLim = c.XoffLim = 6000;
        Port->SetupComm(60000, 60000);
        Port->SetCommState(c);
    }
    void Cycle() {
        std::uint32_t n = 0;
        if (Writing && Port->GetOverlappedResult(Wt, n) == IoResult::Done) Writing = false;
        if (!Writing) Writing = Port->WriteFile(Wt, Out.data(), 60000, n) == IoResult::Pending;
        Port->ReadFile(Rt, In.data(), 60000, n);
        Received += n;
    }
};

void Row(const char* name, const std::vector<const char*>& ends, std::uint32_t rate,
         bool xonXoff) {
    SteppedClock clock;
    SystemPortOpener opener(clock);
    std::vector<Busy> busy(ends.size());
    for (std::size_t i = 0; i < ends.size(); ++i) {
        PortRefusal why;
        busy[i].Port = opener.Open(ends[i], true, why);
        busy[i].Configure(rate, xonXoff);
    }
    constexpr int kCycles = 600;  // a minute of line
    const double cpuFrom = bench::CpuSeconds();
    for (int i = 0; i < kCycles; ++i) {
        for (Busy& b : busy) b.Cycle();
        clock.AdvanceMs(100);
    }
    const double cpu = bench::CpuSeconds() - cpuFrom;
    std::int64_t chars = 0;
    for (const Busy& b : busy) chars += b.Received;
    std::printf("  %-6s %8u  %-8s %12.0f  %10.0f\n", name, rate, xonXoff ? "Xon/Xoff" : "none",
                static_cast<double>(chars) / cpu, (kCycles / 10.0) / cpu);
}

}  // namespace

int main() {
    std::printf("Built-in plugs at full speed, 60 s of line each\n");
    std::printf("  %-6s %8s  %-8s %12s  %10s\n", "plug", "bit/s", "flow", "chars/CPU s",
                "x real time");
    for (const std::uint32_t rate : {115200u, 921600u, 3000000u})
        for (const bool xonXoff : {false, true}) {
            Row("LOOP", {"LOOP"}, rate, xonXoff);
            Row("CABLE", {"CABLE:A", "CABLE:B"}, rate, xonXoff);
        }
    return 0;
}
