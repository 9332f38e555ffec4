#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/LinePattern.h"
#include "engine/RunFigures.h"

namespace kvartix {

enum class RunEnding { TimeUp, Stopped, PortLost, Interrupted };

enum class RunVerdict {
    Clean,
    Errors,
    NoData,
    NeverSynchronised,
    CharactersLost,
    DataLost,
    PortLost,
    Interrupted,
    HeldByXoff
};

// Sent against received after a BERT's drain (see SessionDrain.h).
struct LossCheck {
    std::optional<std::int64_t> Lost;  // none: not judged
    std::string NotJudged;             // why not
    std::optional<double> DrainSeconds;
    std::int64_t DrainReceived = 0;         // characters that came in the drain
    std::optional<std::int64_t> Discarded;  // sent to the port, thrown away before the line
};

// What a whole run ended with, on its exact time and after its drain: what the summary, the
// JSON and the record's last row all say.
struct RunResult {
    std::string Port;
    std::string TxPort;  // across a cable, the port that sent what Port checked; else empty
    TestMode Mode = TestMode::Bert;
    std::int32_t PacketSize = 512;
    RunEnding Ending = RunEnding::TimeUp;
    int Signal = 0;
    // The received count is the final one; the rates and the capacity are the timed run's,
    // so what came in after it, in the drain, is left out of them.
    RunFigures Final;
    // Every write the port took: those it completed and the one still pending at the end.
    std::int64_t Sent = 0;
    std::int64_t Queued = 0;  // of Sent, never on the line
    std::int64_t ErroredSeconds = 0;
    // A start code arrived (a BERT with packets); what the window's red errors cell tells.
    bool Synchronised = false;
    // Cycles in which the driver's receive buffer overflowed: among the other errors.
    std::int64_t ReceiveOverflows = 0;
    LossCheck Loss;
    bool RecordFailed = false;  // a write of its record failed
    // Output held by a received Xoff in the timed run: all told, and the stretch it ended in.
    std::int64_t HeldUs = 0;
    std::int64_t HeldAtEndUs = 0;
    std::int64_t XonResent = 0;  // our Xon sent again to free it
    LinePattern Pattern = LinePattern::Packets;  // a BERT's

    double Seconds() const { return static_cast<double>(Final.ElapsedUs) / 1e6; }
    // Errors over received; none before anything arrived.
    std::optional<double> Coefficient() const;
    bool HasPackets() const {
        return Mode == TestMode::Bert && PacketSize != 1 && !HasSequence();
    }
    bool HasSequence() const { return Mode == TestMode::Bert && Pattern != LinePattern::Packets; }
    bool AnyErrors() const;
    // Ended held for so long that the line, not a pause, stopped it.
    bool EndedHeld() const { return HeldAtEndUs >= 5'000'000; }
    RunVerdict Verdict() const;
};

const char* VerdictText(RunVerdict verdict);

}  // namespace kvartix
