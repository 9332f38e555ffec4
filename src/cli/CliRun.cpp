#include "cli/CliRun.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "cli/CliPlatform.h"
#include "cli/CliPorts.h"
#include "cli/CliReport.h"
#include "cli/CliStations.h"
#include "cli/CliSummary.h"
#include "cli/StopSignals.h"
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

// A folder given for the records of several ports must be there and writable.
std::string RecordFolderProblem(const std::string& path) {
    if (!std::filesystem::is_directory(path))
        return "'" + path + "' is not a folder (several ports record into a folder, a file each)";
    return MayWrite(path) ? std::string() : "'" + path + "' cannot be written";
}

// The worse of two runs' statuses, in the order ExitStatus gives them.
int WorseExit(int a, int b) {
    const auto rank = [](int s) {
        return s >= kExitSignal          ? 4
               : s == kExitNoSession     ? 3
               : s == kExitOutputFailed  ? 2
               : s == kExitErrors        ? 1
                                         : 0;
    };
    return rank(b) > rank(a) ? b : a;
}

}  // namespace

int RunCli(const CliOptions& o, const Clock& clock, const WaitUntil& waitUntil, PortOpener& opener,
           std::ostream& out, std::ostream& err) {
    const bool recordOut = o.Record == "-";
    const bool recordFolder = !recordOut && !o.Record.empty() &&
                              (o.Directions() > 1 || std::filesystem::is_directory(o.Record));
    const bool recordFile = !o.Record.empty() && !recordOut && !recordFolder;
    if (const std::string problem = recordFolder ? RecordFolderProblem(o.Record)
                                    : recordFile ? RecordTargetProblem(o.Record)
                                                 : std::string();
        !problem.empty()) {
        err << "kvartix-cli: --record: " << problem << '\n';
        return kExitBadOptions;
    }

    CliStations stations(o, clock, opener, out, err);
    if (!stations.Usable()) return kExitNoSession;
    // The one direction's record; one way, the checking port's.
    SessionController& recorded = stations.All().back()->Session;
    if (recordOut) recorded.RecordTo(&out, "standard output");
    if (recordFolder) stations.RecordIn(o.Record);

    // The wall clock says where its seconds fall; the wait itself is on the monotonic clock.
    const std::int64_t wall = clock.WallUs();
    if (const int signal = waitUntil(clock.NowUs() + (wall / 1'000'000 + 1) * 1'000'000 +
                                     kSecondOffsetUs - wall)) {
        err << "kvartix-cli: " << SignalName(signal) << " before the test started\n";
        return kExitSignal + signal;
    }
    if (!stations.Start()) return kExitNoSession;
    // Created or emptied only now: a run that never starts leaves the file as it was.
    std::ofstream recordStream;
    if (recordFile) {
        recordStream.open(o.Record, std::ios::binary | std::ios::trunc);
        recorded.RecordTo(&recordStream, o.Record);
    }

    // Standard output closed by its reader ends the run as a stop does.
    const auto outputClosed = [&] { return !out || (recordOut && recorded.RecordFailed()); };
    CliCycles cycles([&] { return stations.Tick(); }, clock, waitUntil);
    const std::int64_t end = clock.NowUs() + std::int64_t{o.Seconds} * 1'000'000;
    bool going = cycles.Run();
    while (going && cycles.LastUs() < end && !outputClosed()) going = cycles.Next();
    const bool closedEarly = outputClosed();
    if (going && !closedEarly) {
        stations.EndTimedRun(cycles.LastUs());
        stations.BeginDrains();
        while (going && stations.Draining()) going = cycles.Next();
    }
    // A lost port has ended its run in its cycle already.
    stations.Finish(!going && cycles.Signal() != 0 ? RunEnding::Interrupted
                    : closedEarly                  ? RunEnding::Stopped
                                                   : RunEnding::TimeUp,
                    cycles.Signal());

    std::vector<CliOutcome> outcomes;
    int status = kExitClean;
    for (const auto& s : stations.All()) {
        if (!s->Checks) continue;
        const RunResult* result = s->Session.Result() ? &*s->Session.Result() : nullptr;
        outcomes.push_back({s->Port, result, &s->Report.Cells()});
        status = WorseExit(status, result ? ExitStatus(*result, result->RecordFailed || !out)
                                          : kExitNoSession);
    }
    // In the order of the sending ports: across a cable A->B first.
    if (o.Wired == Wiring::Cross) std::reverse(outcomes.begin(), outcomes.end());
    std::ostream& summaryOut = recordOut || !out ? err : out;
    if (o.Json)
        PrintJson(summaryOut, outcomes, o.Ports.size() > 1);
    else
        PrintSummaries(summaryOut, outcomes, o);
    summaryOut << std::flush;
    return status;
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
    for (const auto& port : parsed.Options->Ports)
        if (const std::string refusal = StartRefusal(*parsed.Options, DescribeSystemPort(port));
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
