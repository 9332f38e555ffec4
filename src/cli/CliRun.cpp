#include "cli/CliRun.h"

#include <filesystem>
#include <fstream>

#include "cli/CliPlatform.h"
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

// Worst first: a signal, no session or a lost port, output that could not be written, errors.
int ExitStatus(const RunResult& s, bool outputFailed) {
    const RunVerdict verdict = s.Verdict();
    if (verdict == RunVerdict::Interrupted) return kExitSignal + s.Signal;
    if (verdict == RunVerdict::PortLost) return kExitNoSession;
    if (outputFailed) return kExitOutputFailed;
    return verdict == RunVerdict::Clean ? kExitClean : kExitErrors;
}

// A record named on the command line must be a file the run can write without waiting: a
// FIFO, a socket or a device would hold the run at its first row.
std::string RecordTargetProblem(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::exists(status) && !fs::is_regular_file(status))
        return "'" + path + "' is not a regular file";
    const fs::path folder = fs::path(path).parent_path();
    const bool ok = fs::exists(status) ? MayWrite(path)
                                       : fs::is_directory(folder.empty() ? "." : folder, ec) &&
                                             MayWrite(folder.empty() ? "." : folder.string());
    return ok ? std::string() : "'" + path + "' cannot be written";
}

}  // namespace

int RunCli(const CliOptions& o, const Clock& clock, const WaitUntil& waitUntil, PortOpener& opener,
           std::ostream& out, std::ostream& err) {
    const bool recordOut = o.Record == "-";
    const bool recordFile = !o.Record.empty() && !recordOut;
    if (recordFile)
        if (const std::string problem = RecordTargetProblem(o.Record); !problem.empty()) {
            err << "kvartix-cli: --record: " << problem << '\n';
            return kExitBadOptions;
        }

    // The report reads the session, the session reports through the report.
    struct Parts {
        Parts(const Clock& c, PortOpener& opener, std::ostream& out, std::ostream& err, bool json)
            : report(session, out, err, !json), session(report, report, opener, c) {}
        CliReport report;
        SessionController session;
    } parts(clock, opener, out, err, o.Json || recordOut);
    SessionController& session = parts.session;
    if (!session.Usable()) return kExitNoSession;
    if (recordOut) session.RecordTo(&out, "standard output");

    // The wall clock says where its seconds fall; the wait itself is on the monotonic clock.
    const std::int64_t wall = clock.WallUs();
    if (const int signal = waitUntil(clock.NowUs() + (wall / 1'000'000 + 1) * 1'000'000 +
                                     kSecondOffsetUs - wall)) {
        err << "kvartix-cli: " << SignalName(signal) << " before the test started\n";
        return kExitSignal + signal;
    }
    if (!session.Start(o.Mode, o.Settings)) return kExitNoSession;
    // Created or emptied only now: a run that never starts leaves the file as it was.
    std::ofstream recordStream;
    if (recordFile) {
        recordStream.open(o.Record, std::ios::binary | std::ios::trunc);
        session.RecordTo(&recordStream, o.Record);
    }

    // Standard output closed by its reader ends the run as a stop does.
    const auto outputClosed = [&] { return !out || (recordOut && session.RecordFailed()); };
    CliCycles cycles(session, clock, waitUntil);
    const std::int64_t end = clock.NowUs() + std::int64_t{o.Seconds} * 1'000'000;
    bool going = cycles.Run();
    while (going && cycles.LastUs() < end && !outputClosed()) going = cycles.Next();
    const bool closedEarly = outputClosed();
    if (going && !closedEarly) {
        session.EndTimedRun(cycles.LastUs());
        if (session.BeginDrain())
            while (going && session.Draining()) going = cycles.Next();
    }
    // A lost port has ended the run in its cycle already.
    if (session.Running())
        session.Finish(!going        ? RunEnding::Interrupted
                       : closedEarly ? RunEnding::Stopped
                                     : RunEnding::TimeUp,
                       cycles.Signal());

    const RunResult& result = *session.Result();
    std::ostream& summaryOut = recordOut || !out ? err : out;
    if (o.Json)
        PrintJson(summaryOut, result);
    else
        PrintSummary(summaryOut, result, parts.report.Cells(), o);
    summaryOut << std::flush;
    return ExitStatus(result, result.RecordFailed || !out);
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
    // A reader that closed standard output ends the run through a failed write, not SIGPIPE.
    IgnoreBrokenPipe();
    SystemClock clock;
    SystemPortOpener opener(clock);
    const StopSignals signals;
    // The port layer runs on the monotonic clock; sleeping is paced against it.
    const WaitUntil sleep = [&](std::int64_t us) { return signals.WaitUntil(clock, us); };
    return RunCli(*parsed.Options, clock, sleep, opener, out, err);
}

}  // namespace kvartix
