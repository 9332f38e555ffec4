#include "cli/CliDrain.h"

#include <algorithm>

namespace kvartix {
namespace {

constexpr std::int64_t kQuietUs = 500'000;
constexpr std::int64_t kDriverBuffer = 4096;
constexpr std::int64_t kMaxDrainUs = 10'000'000;
constexpr std::uint8_t kOutputHolds = kCtsHold | kDsrHold | kRlsdHold | kXoffHold;

std::string Seconds(std::int64_t us) {
    const std::int64_t tenths = (us + 50'000) / 100'000;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

}  // namespace

bool DrainAndCompare(CliCycles& cycles, Engine& e, LossCheck& loss) {
    const double charUs = 1e6 * e.Params.BitsPerChar / std::max(1, e.Settings.BitRate);
    const auto charsUs = [charUs](std::int64_t n) {
        return static_cast<std::int64_t>(static_cast<double>(n) * charUs);
    };
    const std::int64_t quietUs = std::max(kQuietUs, charsUs(3));
    const std::int64_t start = cycles.LastUs();
    const std::int64_t deadline =
        start + std::min(kMaxDrainUs, 1'000'000 + charsUs(e.Params.QueueSize + kDriverBuffer));
    const std::int64_t receivedBefore = e.Counters.Received;
    std::int64_t lastArrival = start;
    std::int64_t received = receivedBefore;
    e.HoldWrites = true;
    while (cycles.Next()) {
        const std::int64_t now = cycles.LastUs();
        loss.DrainSeconds = static_cast<double>(now - start) / 1e6;
        loss.DrainReceived = e.Counters.Received - receivedBefore;
        if (e.Counters.Received != received) {
            received = e.Counters.Received;
            lastArrival = now;
        }
        const bool held = (e.PortStatus.Flags & kOutputHolds) != 0;
        if (now - lastArrival >= quietUs && !held && !e.State.WritePending) {
            // The Xon that leads the first write with Xon/Xoff is taken by the receiving driver.
            const std::int64_t flow = e.Settings.XonXoff && e.Counters.Sent > 0 ? 1 : 0;
            loss.Lost = std::max<std::int64_t>(0, e.Counters.Sent - flow - received);
            return true;
        }
        // What the port still queues cannot be through by the deadline: no use waiting.
        const bool hopeless =
            e.State.WritePending && now + charsUs(e.PortStatus.OutQueue + kDriverBuffer) > deadline;
        if (now >= deadline || hopeless) {
            loss.NotJudged = std::string(e.State.WritePending ? "a write still pending"
                                         : held               ? "the output held by flow control"
                                                              : "characters still arriving") +
                             " after a drain of " + Seconds(now - start);
            return true;
        }
    }
    loss.NotJudged = "the run was cut short";
    return false;
}

}  // namespace kvartix
