#include "cli/CliDrain.h"

#include <algorithm>

namespace kvartix {
namespace {

constexpr std::int64_t kQuietUs = 500'000;
constexpr std::int64_t kMaxDrainUs = 10'000'000;
constexpr std::int64_t kDriverBuffer = 4096;

std::string Seconds(std::int64_t us) {
    const std::int64_t tenths = (us + 50'000) / 100'000;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

}  // namespace

bool DrainAndCompare(CliCycles& cycles, Engine& e, LossCheck& loss) {
    const double charUs = 1e6 * e.Params().BitsPerChar / std::max(1, e.Settings().BitRate);
    const auto charsUs = [charUs](std::int64_t n) {
        return static_cast<std::int64_t>(static_cast<double>(std::max<std::int64_t>(n, 0)) *
                                         charUs);
    };
    const std::int64_t start = cycles.LastUs();
    const std::int64_t receivedBefore = e.Counters().Received;
    e.SetHoldWrites(true);
    // The Xon that leads the first write with Xon/Xoff is taken by the receiving driver.
    const auto flow = [&e] { return e.Settings().XonXoff && e.Counters().Sent > 0 ? 1 : 0; };
    const std::int64_t handed = e.Counters().Sent + e.State().PendingWriteSize;
    std::optional<std::int64_t> expected;
    if (const auto purged = e.PurgeOutput()) {
        loss.Discarded = *purged;
        expected = std::max<std::int64_t>(0, handed - *purged - flow());
    }
    std::int64_t deadline =
        start + std::min(kMaxDrainUs, 1'000'000 + charsUs(handed - e.Counters().Received +
                                                          (expected ? 0 : kDriverBuffer)));
    const std::int64_t quietUs = std::max(kQuietUs, charsUs(3));
    std::int64_t lastArrival = start;
    std::int64_t received = e.Counters().Received;
    while (cycles.Next()) {
        const std::int64_t now = cycles.LastUs();
        loss.DrainSeconds = static_cast<double>(now - start) / 1e6;
        loss.DrainReceived = e.Counters().Received - receivedBefore;
        if (e.Counters().Received != received) {
            received = e.Counters().Received;
            lastArrival = now;
        }
        // Without a purge, what was handed over must first have left the port.
        if (!expected && !e.State().WritePending && e.PortStatus().OutQueue == 0)
            expected = std::max<std::int64_t>(0, e.Counters().Sent - flow());
        if (expected && (received >= *expected || now - lastArrival >= quietUs)) {
            loss.Lost = std::max<std::int64_t>(0, *expected - received);
            return true;
        }
        if (now >= deadline) {
            loss.NotJudged = std::string(expected ? "characters still arriving"
                                                  : "output still queued in the port") +
                             " after a drain of " + Seconds(now - start);
            return true;
        }
    }
    loss.NotJudged = "the run was cut short";
    return false;
}

}  // namespace kvartix
