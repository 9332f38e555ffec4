#include "cli/CliSummary.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "engine/ErrorCaptions.h"
#include "engine/LineQuality.h"
#include "engine/Prbs.h"
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

std::string LostText(const RunResult& s) {
    const LossCheck& l = s.Loss;
    if (!l.Lost) return "not judged: " + l.NotJudged;
    std::string text = Padded(std::to_string(*l.Lost), 20) + "sent and not received";
    if (l.DrainSeconds)
        text += " after a drain of " + Fixed(*l.DrainSeconds, 1) + " s that brought " +
                std::to_string(l.DrainReceived) + " more";
    return text;
}

std::string CutShortText(const RunResult& s) {
    if (s.Ending == RunEnding::PortLost) return "the port was lost";
    if (s.Ending == RunEnding::Stopped) return "standard output was closed by its reader";
    return "interrupted by " + SignalName(s.Signal);
}

// What the stream is made of: the packets of a size, or a test pattern.
std::string TestedWith(const LineSettings& s) {
    return s.Pattern == LinePattern::Packets ? "packet " + std::to_string(s.PacketSize)
                                             : "pattern " + std::string(PatternName(s.Pattern));
}

std::string Percent(double share) {
    return Fixed(share * 100, 1) + " %";
}

// A test pattern's bits, ratio and seconds.
void PrintPatternLines(std::ostream& out, const RunResult& s) {
    const PatternCounts& c = s.Final.Sequence;
    const LineQualityFigures& q = s.Final.Quality;
    const SequenceDefinition& definition = DefinitionOf(s.Pattern);
    out << "  Pattern           " << PatternName(s.Pattern) << ", " << definition.Clause << ": "
        << definition.Polynomial << (definition.Inverted ? ", inverted" : "") << '\n'
        << "  Bits checked      " << c.BitsChecked << ", bit errors " << c.BitErrors
        << ", sync lost " << c.SyncLosses << '\n'
        << "  BER               ";
    if (!c.EverInSync)
        out << "not measured: the pattern was never found";
    else if (c.BitErrors != 0)
        out << RatioText(*BitErrorRatio(c.BitErrors, c.BitsChecked));
    else if (const auto bound = ErrorFreeBound95(c.BitsChecked))
        out << "< " << RatioText(*bound) << " at 95 % confidence (no bit errors)";
    else
        out << "-";
    out << '\n'
        << "  G.821 seconds     severely errored " << q.SeverelyErrored << ", unavailable "
        << q.Unavailable << ", error-free " << q.ErrorFree << " of " << q.Available()
        << " available";
    if (const auto share = q.ErrorFreeShare()) out << " (" << Percent(*share) << ')';
    out << '\n';
}

// The pattern's keys: null for the packets.
std::string PatternJson(const RunResult& s) {
    const PatternCounts& c = s.Final.Sequence;
    const LineQualityFigures& q = s.Final.Quality;
    const bool on = s.HasSequence();
    const auto number = [on](auto n) { return on ? std::to_string(n) : std::string("null"); };
    const auto ratio = [on](std::optional<double> r) {
        if (!on || !r) return std::string("null");
        char buf[64];
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, *r).ptr);
    };
    return ",\"pattern\":" + (on ? JsonString(PatternName(s.Pattern)) : "null") +
           ",\"bits_checked\":" + number(c.BitsChecked) + ",\"bit_errors\":" +
           number(c.BitErrors) + ",\"ber\":" + ratio(BitErrorRatio(c.BitErrors, c.BitsChecked)) +
           ",\"ber_bound_95\":" +
           ratio(c.BitErrors == 0 ? ErrorFreeBound95(c.BitsChecked) : std::nullopt) +
           ",\"pattern_sync_lost\":" + number(c.SyncLosses) +
           ",\"severely_errored_seconds\":" + number(q.SeverelyErrored) +
           ",\"unavailable_seconds\":" + number(q.Unavailable) +
           ",\"error_free_seconds\":" + number(q.ErrorFree) +
           ",\"error_free_share\":" + ratio(q.ErrorFreeShare());
}

void PrintSummary(std::ostream& out, const RunResult& s,
                  const std::map<StatCell, std::string>& cells, const CliOptions& o) {
    const auto shown = [&cells](StatCell cell, std::size_t width = 20) {
        const auto it = cells.find(cell);
        return Padded(it == cells.end() || it->second.empty() ? "-" : it->second, width);
    };
    const RunFigures& f = s.Final;
    out << "Summary: " << (s.TxPort.empty() ? "" : s.TxPort + " -> ") << s.Port << ", "
        << ModeName(s.Mode) << ", " << o.Settings.BitRate << " bit/s " << FrameText(o.Settings)
        << ", " << TestedWith(o.Settings) << '\n';
    if (s.Ending != RunEnding::TimeUp) out << "  Cut short         " << CutShortText(s) << '\n';
    out << "  Received          " << shown(StatCell::Received) << "final count " << f.Received
        << " characters\n"
        << "  Sent              " << Padded("", 20) << "final count " << s.Sent << " characters";
    if (s.Queued != 0) out << ", " << s.Queued << " of them never left the port";
    out << '\n'
        << "  symb/s            " << shown(StatCell::CharRate) << "over the whole run "
        << f.CharRate << '\n'
        << "  bit/s             " << shown(StatCell::BitRate) << "over the whole run " << f.BitRate
        << '\n'
        << "  Errors            " << shown(StatCell::Errors) << "final count " << f.Errors << '\n'
        << "  Coef errors       " << shown(StatCell::Coefficient) << "final "
        << CoefficientText(f.Errors, f.Received, '.') << '\n'
        << "  Time              " << shown(StatCell::Time) << "run " << Fixed(s.Seconds(), 1)
        << " s\n"
        << "  Capacity used     " << Fixed(f.CapacityUsed * 100, 1) << " %\n"
        << "  Errored seconds   " << s.ErroredSeconds << '\n';
    if (s.HeldUs != 0) {
        out << "  Held by Xoff      " << Fixed(static_cast<double>(s.HeldUs) / 1e6, 1) << " s of "
            << Fixed(s.Seconds(), 1);
        if (s.HeldAtEndUs >= 1'000'000)
            out << ", at the end since " << Fixed(static_cast<double>(s.HeldAtEndUs) / 1e6, 1)
                << " s";
        if (s.XonResent != 0) out << "; our Xon sent again " << s.XonResent << " times";
        out << '\n';
    }
    if (s.HasSequence()) PrintPatternLines(out, s);
    if (s.PacketSize != 1 && !s.HasSequence())
        out << "  Packet errors     " << PacketErrorCaption(PacketErrorRow::InvalidSymbol) << ' '
            << f.Packet.InvalidSymbolCount << ", " << PacketErrorCaption(PacketErrorRow::SymbolLost)
            << ' ' << f.Packet.SymbolLostCount << ", "
            << PacketErrorCaption(PacketErrorRow::SyncLost) << ' ' << f.Packet.SyncLostCount
            << '\n';
    out << "  Driver errors     " << DriverErrorCaption(DriverErrorRow::Parity) << ' '
        << f.Driver.ParityErrors << ", " << DriverErrorCaption(DriverErrorRow::Overrun) << ' '
        << f.Driver.OverrunErrors << ", " << DriverErrorCaption(DriverErrorRow::Framing) << ' '
        << f.Driver.FramingErrors << ", " << DriverErrorCaption(DriverErrorRow::Other) << ' '
        << f.Driver.OtherErrors;
    if (s.ReceiveOverflows != 0) out << " (receive buffer overflow " << s.ReceiveOverflows << ')';
    out << '\n';
    if (s.Mode == TestMode::Bert) out << "  Lost characters   " << LostText(s) << '\n';
    out << "  Result            " << VerdictText(s.Verdict()) << '\n';
}

std::string Cell(std::string text, std::size_t width) {
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

// One row a port: what a technician accepting a card reads down.
void PrintTable(std::ostream& out, const std::vector<CliOutcome>& outcomes, const CliOptions& o) {
    std::size_t width = 4;
    for (const auto& c : outcomes) width = std::max(width, c.Port.size());
    // With a test pattern the ratio is of bits, as hardware testers give it.
    const bool pattern = o.Settings.Pattern != LinePattern::Packets;
    out << "Summary: " << outcomes.size() << " ports, " << ModeName(o.Mode) << ", "
        << o.Settings.BitRate << " bit/s " << FrameText(o.Settings) << ", "
        << TestedWith(o.Settings) << '\n'
        << "  " << Padded("port", width) << Cell("received", 12) << Cell("sent", 12)
        << Cell("errors", 9) << Cell(pattern ? "BER" : "coef", 11) << Cell("bit/s", 9)
        << Cell("capacity", 10)
        << Cell("err s", 7) << Cell("lost", 8) << "  result\n";
    for (const auto& c : outcomes) {
        out << "  " << Padded(c.Port, width);
        if (!c.Result) {
            out << "  not started: the port could not be opened\n";
            continue;
        }
        const RunResult& r = *c.Result;
        const RunFigures& f = r.Final;
        // Sent: what left the port, as received is what came in.
        out << Cell(std::to_string(f.Received), 12) << Cell(std::to_string(r.Sent - r.Queued), 12)
            << Cell(std::to_string(f.Errors), 9)
            << Cell(pattern ? RatioText(BitErrorRatio(f.Sequence.BitErrors, f.Sequence.BitsChecked)
                                            .value_or(0))
                            : CoefficientText(f.Errors, f.Received, '.'),
                    11)
            << Cell(std::to_string(f.BitRate), 9) << Cell(Fixed(f.CapacityUsed * 100, 1) + " %", 10)
            << Cell(std::to_string(r.ErroredSeconds), 7)
            << Cell(r.Loss.Lost ? std::to_string(*r.Loss.Lost) : "-", 8) << "  "
            << VerdictText(r.Verdict());
        if (r.Ending != RunEnding::TimeUp) out << " (" << CutShortText(r) << ')';
        out << '\n';
    }
}

void PrintJsonObject(std::ostream& out, const RunResult& s) {
    const RunFigures& f = s.Final;
    const auto orNull = [](const auto& v, auto text) { return v ? text(*v) : std::string("null"); };
    const std::string coefficient = orNull(s.Coefficient(), [](double ratio) {
        char buf[64];
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, ratio).ptr);
    });
    out << "{\"port\":" << JsonString(s.Port);
    if (!s.TxPort.empty()) out << ",\"tx_port\":" << JsonString(s.TxPort);
    out << ",\"mode\":" << JsonString(ModeName(s.Mode))
        << ",\"seconds\":" << Fixed(s.Seconds(), 3) << ",\"received\":" << f.Received
        << ",\"sent\":" << s.Sent << ",\"queued\":" << s.Queued << ",\"errors\":" << f.Errors
        << ",\"coefficient\":" << coefficient << ",\"symbols_per_second\":" << f.CharRate
        << ",\"bits_per_second\":" << f.BitRate
        << ",\"invalid_symbols\":" << f.Packet.InvalidSymbolCount
        << ",\"lost_symbols\":" << f.Packet.SymbolLostCount
        << ",\"sync_lost\":" << f.Packet.SyncLostCount
        << ",\"parity_errors\":" << f.Driver.ParityErrors
        << ",\"overrun_errors\":" << f.Driver.OverrunErrors
        << ",\"framing_errors\":" << f.Driver.FramingErrors
        << ",\"other_errors\":" << f.Driver.OtherErrors
        << ",\"receive_overflows\":" << s.ReceiveOverflows
        << ",\"capacity_used\":" << Fixed(f.CapacityUsed, 4)
        << ",\"errored_seconds\":" << s.ErroredSeconds
        << ",\"synchronised\":"
        << (s.HasPackets() || s.HasSequence() ? (s.Synchronised ? "true" : "false") : "null")
        << ",\"lost_characters\":"
        << orNull(s.Loss.Lost, [](std::int64_t n) { return std::to_string(n); })
        << ",\"drain_seconds\":"
        << orNull(s.Loss.DrainSeconds, [](double d) { return Fixed(d, 3); })
        << ",\"held_seconds\":" << Fixed(static_cast<double>(s.HeldUs) / 1e6, 1)
        << ",\"held_at_end_seconds\":" << Fixed(static_cast<double>(s.HeldAtEndUs) / 1e6, 1)
        << ",\"xon_resent\":" << s.XonResent
        << PatternJson(s)
        << ",\"signal\":"
        << (s.Ending == RunEnding::Interrupted ? std::to_string(s.Signal) : "null")
        << ",\"result\":" << JsonString(VerdictText(s.Verdict())) << "}";
}

}  // namespace

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

void PrintSummaries(std::ostream& out, const std::vector<CliOutcome>& outcomes,
                    const CliOptions& o) {
    if (o.Wired == Wiring::Plugs && outcomes.size() > 1) return PrintTable(out, outcomes, o);
    for (const auto& c : outcomes)
        if (c.Result) PrintSummary(out, *c.Result, *c.Cells, o);
}

void PrintJson(std::ostream& out, const std::vector<CliOutcome>& outcomes, bool array) {
    if (!array && outcomes.front().Result) {
        PrintJsonObject(out, *outcomes.front().Result);
        out << '\n';
        return;
    }
    out << '[';
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        out << (i ? ",\n " : "");
        if (outcomes[i].Result)
            PrintJsonObject(out, *outcomes[i].Result);
        else
            out << "{\"port\":" << JsonString(outcomes[i].Port)
                << ",\"result\":\"not started\"}";
    }
    out << "]\n";
}

}  // namespace kvartix
