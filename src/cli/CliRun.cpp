#include "cli/CliRun.h"

#include <chrono>
#include <thread>

#include "cli/CliReport.h"
#include "engine/TestSession.h"
#include "serial/PortDiscovery.h"
#include "serial/SystemPortOpener.h"

namespace kvartix {
namespace {

constexpr std::int64_t kCycleUs = 100'000;
// Ticks start just past a whole second, so that each second's update falls on a tick.
constexpr std::int64_t kSecondOffsetUs = 20'000;

}  // namespace

int RunCli(const CliOptions& o, const Clock& clock, const WaitUntil& waitUntil, PortOpener& opener,
           std::ostream& out, std::ostream& err) {
    // The report reads the engine, the engine reports through the report.
    struct Parts {
        Parts(const Clock& c, std::ostream& out, std::ostream& err, bool json)
            : report(engine, out, err, !json), engine(report, report, c) {}
        CliReport report;
        Engine engine;
    } parts(clock, out, err, o.Json);
    EventFactory factory;
    TransferEvents events;
    if (!CreateTransferEvents(events, factory, parts.report)) return kExitNoSession;
    TestSession session(parts.engine, parts.report, opener, parts.report, events);

    // The wall clock says where its seconds fall; the wait itself is on the monotonic clock.
    const std::int64_t wall = clock.WallUs();
    waitUntil(clock.NowUs() + (wall / 1'000'000 + 1) * 1'000'000 + kSecondOffsetUs - wall);
    if (!session.Start(o.Mode, o.Settings)) return kExitNoSession;

    const std::int64_t first = clock.NowUs();
    const std::int64_t end = first + std::int64_t{o.Seconds} * 1'000'000;
    std::int64_t next = first;
    std::int64_t last = first;
    bool lost = false;
    while (true) {
        session.Tick();
        last = clock.NowUs();
        if (!session.Running()) {
            lost = true;
            break;
        }
        if (last >= end) break;
        next += kCycleUs;
        waitUntil(next);
    }
    session.StopSession();
    parts.report.Finish();

    const RunSummary summary = Summarise(parts.engine, parts.report, o, last);
    if (o.Json)
        PrintJson(out, summary);
    else
        PrintSummary(out, summary, o);
    if (lost) return kExitNoSession;
    return summary.Verdict() == RunVerdict::Clean ? kExitClean : kExitErrors;
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
        for (const auto& name : DiscoverSystemPorts("", &refusals).Names) out << name << '\n';
        for (const auto& refusal : refusals) err << "kvartix-cli: " << refusal << '\n';
        return kExitClean;
    }
    SystemClock clock;
    SystemPortOpener opener(clock);
    // The port layer runs on the monotonic clock; sleeping is paced against it.
    const WaitUntil sleep = [&clock](std::int64_t us) {
        const std::int64_t delta = us - clock.NowUs();
        if (delta > 0) std::this_thread::sleep_for(std::chrono::microseconds(delta));
    };
    const int status = RunCli(*parsed.Options, clock, sleep, opener, out, err);
    if (status == kExitNoSession && !opener.LastRefusal().empty())
        err << "kvartix-cli: " << opener.LastRefusal() << '\n';
    return status;
}

}  // namespace kvartix
