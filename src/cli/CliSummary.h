#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "app/SignalName.h"
#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "engine/Engine.h"

namespace kvartix {

enum class RunEnding { TimeUp, PortLost, Interrupted };

enum class RunVerdict {
    Clean,
    Errors,
    NoData,
    NeverSynchronised,
    CharactersLost,
    DataLost,
    PortLost,
    Interrupted
};

// Sent against received after a BERT's drain (see CliDrain.h).
struct LossCheck {
    std::optional<std::int64_t> Lost;  // none: not judged
    std::string NotJudged;             // why not
    std::optional<double> DrainSeconds;
    std::int64_t DrainReceived = 0;  // characters that came in the drain
    std::optional<std::int64_t> Discarded;  // sent to the port, thrown away before the line
};

// How the run ended and what it had counted by the end of its time.
struct RunEnd {
    RunEnding How = RunEnding::TimeUp;
    int Signal = 0;
    std::int64_t AtUs = 0;           // the timed run's last cycle
    std::int64_t ReceivedAtEnd = 0;  // by then: the rates' count
    LossCheck Loss;
};

// What a run ended with, beyond what the window shows.
struct RunSummary {
    std::string Port;
    TestMode Mode = TestMode::Bert;
    std::int32_t PacketSize = 512;
    RunEnding Ending = RunEnding::TimeUp;
    int Signal = 0;
    double Seconds = 0;
    std::int64_t Received = 0;
    // Every write the port took: those it completed and the one still pending at the end.
    std::int64_t Sent = 0;
    std::int64_t Queued = 0;  // of Sent, still in the port's queues at the end
    std::int64_t Errors = 0;
    std::int64_t CharRate = 0;
    std::int64_t BitRate = 0;
    double CapacityUsed = 0;
    std::int64_t ErroredSeconds = 0;
    // A start code arrived (a BERT with packets); what the window's red errors cell tells.
    bool Synchronised = false;
    BertChecker Packet;
    DriverErrorCounters Driver;
    std::int64_t ReceiveOverflows = 0;
    LossCheck Loss;
    // The statistics cells as the window last showed them.
    std::map<StatCell, std::string> Shown;

    bool HasPackets() const { return Mode == TestMode::Bert && PacketSize != 1; }
    bool AnyErrors() const;
    RunVerdict Verdict() const;
};

const char* VerdictText(RunVerdict verdict);

RunSummary Summarise(const Engine& engine, const CliReport& report, const CliOptions& options,
                     const RunEnd& end);
void PrintSummary(std::ostream& out, const RunSummary& s, const CliOptions& options);
void PrintJson(std::ostream& out, const RunSummary& s);

// The text in JSON's quotes, control characters escaped.
std::string JsonString(const std::string& s);

}  // namespace kvartix
