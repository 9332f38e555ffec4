#include "cli/CliRun.h"

#include <cmath>
#include <fstream>

#include "cli/CliDrain.h"
#include "cli/CliPorts.h"
#include "cli/CliReport.h"
#include "cli/CliSummary.h"
#include "cli/StopSignals.h"
#include "engine/RunRecord.h"
#include "engine/TestSession.h"
#include "serial/PortDiscovery.h"
#include "serial/SystemPortOpener.h"

namespace kvartix {
namespace {

// Ticks start just past a whole second, so that each second's update falls on a tick.
constexpr std::int64_t kSecondOffsetUs = 20'000;

int ExitStatus(const RunSummary& s) {
    switch (s.Verdict()) {
        case RunVerdict::Clean:
            return kExitClean;
        case RunVerdict::Interrupted:
            return kExitSignal + s.Signal;
        case RunVerdict::PortLost:
            return kExitNoSession;
        default:
            return kExitErrors;
    }
}

// The record's last row: the summary's figures, the lamps as the stop left them.
RecordRow FinalRow(const RunSummary& s, const Engine& e) {
    RecordRow r = RecordRowAtUpdate(e);
    r.ElapsedMs = std::llround(s.Seconds * 1000);
    r.Received = s.Received;
    r.CharRate = s.CharRate;
    r.BitRate = s.BitRate;
    r.Errors = s.Errors;
    r.Packet = s.Packet;
    r.Driver = s.Driver;
    r.CapacityUsed = s.CapacityUsed;
    return r;
}

}  // namespace

int RunCli(const CliOptions& o, const Clock& clock, const WaitUntil& waitUntil, PortOpener& opener,
           std::ostream& out, std::ostream& err) {
    // The record is opened before the port, so that a file that cannot be written costs no run.
    std::ofstream recordFile;
    std::ostream* record = nullptr;
    if (o.Record == "-") {
        record = &out;
    } else if (!o.Record.empty()) {
        recordFile.open(o.Record, std::ios::binary | std::ios::trunc);
        if (!recordFile) {
            err << "kvartix-cli: --record: '" << o.Record << "' cannot be written\n";
            return kExitBadOptions;
        }
        record = &recordFile;
    }
    if (record) *record << RecordHeader() << std::flush;
    // With the record on standard output, the summary goes to standard error.
    std::ostream& summaryOut = record == &out ? err : out;

    // The report reads the engine, the engine reports through the report.
    struct Parts {
        Parts(const Clock& c, std::ostream& out, std::ostream& err, bool json)
            : report(engine, out, err, !json), engine(report, report, c) {}
        CliReport report;
        Engine engine;
    } parts(clock, out, err, o.Json || record == &out);
    parts.report.RecordTo(record);
    Engine& engine = parts.engine;
    EventFactory factory;
    TransferEvents events;
    if (!CreateTransferEvents(events, factory, parts.report)) return kExitNoSession;
    TestSession session(engine, parts.report, opener, parts.report, events);

    // The wall clock says where its seconds fall; the wait itself is on the monotonic clock.
    const std::int64_t wall = clock.WallUs();
    if (const int signal = waitUntil(clock.NowUs() + (wall / 1'000'000 + 1) * 1'000'000 +
                                     kSecondOffsetUs - wall)) {
        err << "kvartix-cli: " << SignalName(signal) << " before the test started\n";
        return kExitSignal + signal;
    }
    if (!session.Start(o.Mode, o.Settings)) return kExitNoSession;

    CliCycles cycles(session, clock, waitUntil);
    const std::int64_t end = clock.NowUs() + std::int64_t{o.Seconds} * 1'000'000;
    bool going = cycles.Run();
    while (going && cycles.LastUs() < end) going = cycles.Next();
    RunEnd ending;
    ending.AtUs = cycles.LastUs();
    ending.ReceivedAtEnd = engine.Counters().Received;
    parts.report.EndOfRun();
    if (!going) {
        ending.Loss.NotJudged = "the run was cut short";
    } else if (o.Mode != TestMode::Bert) {
        ending.Loss.NotJudged = "a loopback";
    } else if (engine.Counters().Received == 0) {
        ending.Loss.NotJudged = "nothing came back";
    } else {
        going = DrainAndCompare(cycles, engine, ending.Loss);
    }
    if (!going) {
        ending.Signal = cycles.Signal();
        ending.How = ending.Signal != 0 ? RunEnding::Interrupted : RunEnding::PortLost;
    }
    session.StopSession();
    parts.report.Finish();

    const RunSummary summary = Summarise(engine, parts.report, o, ending);
    if (record) *record << RecordLine(FinalRow(summary, engine)) << std::flush;
    if (o.Json)
        PrintJson(summaryOut, summary);
    else
        PrintSummary(summaryOut, summary, o);
    summaryOut << std::flush;
    return ExitStatus(summary);
}

int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CliParse parsed = ParseCliOptions(args);
    if (!parsed.Options) {
        err << "kvartix-cli: " << parsed.Error << '\n' << UsageLine() << '\n';
        return kExitBadOptions;
    }
    if (parsed.Options->Help) {
        out << HelpText();
        return kExitClean;
    }
    if (parsed.Options->Version) {
        out << VersionText();
        return kExitClean;
    }
    if (parsed.Options->ListPorts) {
        std::vector<std::string> refusals;
        PrintPorts(out, DiscoverSystemPorts("", &refusals), parsed.Options->Json);
        for (const auto& refusal : refusals) err << "kvartix-cli: " << refusal << '\n';
        return kExitClean;
    }
    if (const std::string refusal =
            StartRefusal(*parsed.Options, DescribeSystemPort(parsed.Options->Settings.Port));
        !refusal.empty()) {
        err << "kvartix-cli: " << refusal << '\n';
        return kExitBadOptions;
    }
    SystemClock clock;
    SystemPortOpener opener(clock);
    const StopSignals signals;
    // The port layer runs on the monotonic clock; sleeping is paced against it.
    const WaitUntil sleep = [&](std::int64_t us) { return signals.WaitUntil(clock, us); };
    const int status = RunCli(*parsed.Options, clock, sleep, opener, out, err);
    if (status == kExitNoSession && !opener.LastRefusal().empty())
        err << "kvartix-cli: " << opener.LastRefusal() << '\n';
    return status;
}

}  // namespace kvartix
