#include "cli/CliRun.h"

#include <fstream>

#include "cli/CliPorts.h"
#include "cli/CliReport.h"
#include "cli/CliSummary.h"
#include "cli/StopSignals.h"
#include "engine/SessionController.h"
#include "serial/PortDiscovery.h"
#include "serial/SystemPortOpener.h"

namespace kvartix {
namespace {

// Ticks start just past a whole second, so that each second's update falls on a tick.
constexpr std::int64_t kSecondOffsetUs = 20'000;

int ExitStatus(const RunResult& s) {
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
    // With the record on standard output, the summary goes to standard error.
    std::ostream& summaryOut = record == &out ? err : out;

    // The report reads the session, the session reports through the report.
    struct Parts {
        Parts(const Clock& c, PortOpener& opener, std::ostream& out, std::ostream& err, bool json)
            : report(session, out, err, !json), session(report, report, opener, c) {}
        CliReport report;
        SessionController session;
    } parts(clock, opener, out, err, o.Json || record == &out);
    SessionController& session = parts.session;
    if (!session.Usable()) return kExitNoSession;
    session.RecordTo(record);

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
    if (going) {
        session.EndTimedRun(cycles.LastUs());
        if (session.BeginDrain())
            while (going && session.Draining()) going = cycles.Next();
    }
    // A lost port has ended the run in its cycle already.
    if (session.Running())
        session.Finish(going ? RunEnding::TimeUp : RunEnding::Interrupted, cycles.Signal());

    const RunResult& result = *session.Result();
    if (o.Json)
        PrintJson(summaryOut, result);
    else
        PrintSummary(summaryOut, result, parts.report.Cells(), o);
    summaryOut << std::flush;
    return ExitStatus(result);
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
    return RunCli(*parsed.Options, clock, sleep, opener, out, err);
}

}  // namespace kvartix
