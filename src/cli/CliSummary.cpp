#include "cli/CliSummary.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "engine/ErrorCaptions.h"
#include "engine/Statistics.h"

namespace kvartix {
namespace {

std::string Fixed(double v, int decimals) {
    char buf[400];
    return {buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals).ptr};
}

std::string Padded(std::string s, std::size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

std::string LostText(const RunSummary& s) {
    const LossCheck& l = s.Loss;
    if (!l.Lost) return "not judged: " + l.NotJudged;
    std::string text = Padded(std::to_string(*l.Lost), 20) + "sent and not received";
    if (l.DrainSeconds)
        text += " after a drain of " + Fixed(*l.DrainSeconds, 1) + " s that brought " +
                std::to_string(l.DrainReceived) + " more";
    return text;
}

std::string CutShortText(const RunSummary& s) {
    if (s.Ending == RunEnding::PortLost) return "the port was lost";
    return "interrupted by " + SignalName(s.Signal);
}

}  // namespace

bool RunSummary::AnyErrors() const {
    return Errors != 0 || Packet.SyncLostCount != 0 || Packet.InvalidSymbolCount != 0 ||
           Packet.SymbolLostCount != 0 || Driver.ParityErrors != 0 || Driver.OverrunErrors != 0 ||
           Driver.FramingErrors != 0 || Driver.OtherErrors != 0;
}

RunVerdict RunSummary::Verdict() const {
    if (Ending == RunEnding::Interrupted) return RunVerdict::Interrupted;
    if (Ending == RunEnding::PortLost) return RunVerdict::PortLost;
    // A loopback judges no data of its own; what the driver threw away never went back.
    if (Mode != TestMode::Bert)
        return Driver.OverrunErrors != 0 || ReceiveOverflows != 0 ? RunVerdict::DataLost
                                                                  : RunVerdict::Clean;
    if (Received == 0) return RunVerdict::NoData;
    if (HasPackets() && !Synchronised) return RunVerdict::NeverSynchronised;
    if (AnyErrors()) return RunVerdict::Errors;
    return Loss.Lost.value_or(0) != 0 ? RunVerdict::CharactersLost : RunVerdict::Clean;
}

const char* VerdictText(RunVerdict verdict) {
    // In the order of RunVerdict.
    constexpr const char* kVerdictTexts[] = {
        "no errors",       "errors counted", "no data received", "never synchronised",
        "characters lost", "data lost",      "port lost",        "interrupted"};
    return kVerdictTexts[static_cast<int>(verdict)];
}

RunSummary Summarise(const Engine& e, const CliReport& report, const CliOptions& o,
                     const RunEnd& end) {
    RunSummary s;
    s.Port = o.Settings.Port;
    s.Mode = o.Mode;
    s.PacketSize = e.Params().PacketSize;
    s.Ending = end.How;
    s.Signal = end.Signal;
    const std::int64_t elapsedUs = std::max<std::int64_t>(0, end.AtUs - e.Counters().StartTimeUs);
    s.Seconds = static_cast<double>(elapsedUs) / 1e6;
    s.Received = e.Counters().Received;
    s.Sent = e.Counters().Sent + (e.State().WritePending ? e.State().PendingWriteSize : 0);
    // Sent to the port and never on the line: thrown away at the end of the drain, or still
    // held at the last look.
    s.Queued = end.Loss.Discarded ? *end.Loss.Discarded
                                  : std::min<std::int64_t>(e.PortStatus().OutQueue, s.Sent);
    s.Errors = e.Counters().Errors;
    // The rates are the timed run's: what came in after it, in the drain, is left out.
    s.CharRate = CharRate(end.ReceivedAtEnd, elapsedUs / 1000);
    s.BitRate = static_cast<std::int64_t>(e.Params().BitsPerChar * static_cast<double>(s.CharRate));
    const double capacity = s.Seconds * o.Settings.BitRate / e.Params().BitsPerChar;
    // Not cut at 1: a pseudo-terminal carries more than its configured line, and says so here.
    s.CapacityUsed = capacity > 0 ? static_cast<double>(end.ReceivedAtEnd) / capacity : 0;
    s.ErroredSeconds = report.ErroredSeconds();
    s.Synchronised = s.HasPackets() && !e.State().FirstData;
    s.Shown = report.Cells();
    s.Packet = e.Checker();
    s.Driver = e.DriverErrors();
    s.ReceiveOverflows = report.ReceiveOverflows();
    s.Loss = end.Loss;
    return s;
}

void PrintSummary(std::ostream& out, const RunSummary& s, const CliOptions& o) {
    const auto shown = [&s](StatCell cell, std::size_t width = 20) {
        const auto it = s.Shown.find(cell);
        return Padded(it == s.Shown.end() || it->second.empty() ? "-" : it->second, width);
    };
    out << "Summary: " << s.Port << ", " << ModeName(s.Mode) << ", " << o.Settings.BitRate
        << " bit/s " << FrameText(o.Settings) << ", packet " << o.Settings.PacketSize << '\n';
    if (s.Ending != RunEnding::TimeUp) out << "  Cut short         " << CutShortText(s) << '\n';
    out << "  Received          " << shown(StatCell::Received) << "final count " << s.Received
        << " characters\n"
        << "  Sent              " << Padded("", 20) << "final count " << s.Sent << " characters";
    if (s.Queued != 0) out << ", " << s.Queued << " of them never left the port";
    out << '\n'
        << "  symb/s            " << shown(StatCell::CharRate) << "over the whole run "
        << s.CharRate << '\n'
        << "  bit/s             " << shown(StatCell::BitRate) << "over the whole run " << s.BitRate
        << '\n'
        << "  Errors            " << shown(StatCell::Errors) << "final count " << s.Errors << '\n'
        << "  Coef errors       " << shown(StatCell::Coefficient, 0) << '\n'
        << "  Time              " << shown(StatCell::Time) << "run " << Fixed(s.Seconds, 1)
        << " s\n"
        << "  Capacity used     " << Fixed(s.CapacityUsed * 100, 1) << " %\n"
        << "  Errored seconds   " << s.ErroredSeconds << '\n';
    if (s.PacketSize != 1)
        out << "  Packet errors     " << PacketErrorCaption(PacketErrorRow::InvalidSymbol) << ' '
            << s.Packet.InvalidSymbolCount << ", " << PacketErrorCaption(PacketErrorRow::SymbolLost)
            << ' ' << s.Packet.SymbolLostCount << ", "
            << PacketErrorCaption(PacketErrorRow::SyncLost) << ' ' << s.Packet.SyncLostCount
            << '\n';
    out << "  Driver errors     " << DriverErrorCaption(DriverErrorRow::Parity) << ' '
        << s.Driver.ParityErrors << ", " << DriverErrorCaption(DriverErrorRow::Overrun) << ' '
        << s.Driver.OverrunErrors << ", " << DriverErrorCaption(DriverErrorRow::Framing) << ' '
        << s.Driver.FramingErrors << ", " << DriverErrorCaption(DriverErrorRow::Other) << ' '
        << s.Driver.OtherErrors;
    if (s.ReceiveOverflows != 0) out << " (receive buffer overflow " << s.ReceiveOverflows << ')';
    out << '\n';
    if (s.Mode == TestMode::Bert) out << "  Lost characters   " << LostText(s) << '\n';
    out << "  Result            " << VerdictText(s.Verdict()) << '\n';
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void PrintJson(std::ostream& out, const RunSummary& s) {
    std::string coefficient = "null";
    if (s.Received != 0) {
        char buf[64];
        const double ratio = static_cast<double>(s.Errors) / static_cast<double>(s.Received);
        coefficient.assign(buf, std::to_chars(buf, buf + sizeof buf, ratio).ptr);
    }
    const auto orNull = [](const auto& v, auto text) { return v ? text(*v) : std::string("null"); };
    out << "{\"port\":" << JsonString(s.Port) << ",\"mode\":" << JsonString(ModeName(s.Mode))
        << ",\"seconds\":" << Fixed(s.Seconds, 3) << ",\"received\":" << s.Received
        << ",\"sent\":" << s.Sent << ",\"queued\":" << s.Queued << ",\"errors\":" << s.Errors
        << ",\"coefficient\":" << coefficient << ",\"symbols_per_second\":" << s.CharRate
        << ",\"bits_per_second\":" << s.BitRate
        << ",\"invalid_symbols\":" << s.Packet.InvalidSymbolCount
        << ",\"lost_symbols\":" << s.Packet.SymbolLostCount
        << ",\"sync_lost\":" << s.Packet.SyncLostCount
        << ",\"parity_errors\":" << s.Driver.ParityErrors
        << ",\"overrun_errors\":" << s.Driver.OverrunErrors
        << ",\"framing_errors\":" << s.Driver.FramingErrors
        << ",\"other_errors\":" << s.Driver.OtherErrors
        << ",\"receive_overflows\":" << s.ReceiveOverflows
        << ",\"capacity_used\":" << Fixed(s.CapacityUsed, 4)
        << ",\"errored_seconds\":" << s.ErroredSeconds
        << ",\"synchronised\":" << (s.HasPackets() ? (s.Synchronised ? "true" : "false") : "null")
        << ",\"lost_characters\":"
        << orNull(s.Loss.Lost, [](std::int64_t n) { return std::to_string(n); })
        << ",\"drain_seconds\":"
        << orNull(s.Loss.DrainSeconds, [](double d) { return Fixed(d, 3); }) << ",\"signal\":"
        << (s.Ending == RunEnding::Interrupted ? std::to_string(s.Signal) : "null")
        << ",\"result\":" << JsonString(VerdictText(s.Verdict())) << "}\n";
}

}  // namespace kvartix
