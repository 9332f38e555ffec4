#include "cli/CliReport.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iomanip>

#include "engine/Statistics.h"

namespace kvartix {
namespace {

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

std::string Fixed(double v, int decimals) {
    char buf[400];
    return {buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals).ptr};
}

std::string Padded(std::string s, std::size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

}  // namespace

bool RunSummary::AnyErrors() const {
    return Errors != 0 || Packet.SyncLostCount != 0 || Packet.InvalidSymbolCount != 0 ||
           Packet.SymbolLostCount != 0 || Driver.ParityErrors != 0 || Driver.OverrunErrors != 0 ||
           Driver.FramingErrors != 0 || Driver.OtherErrors != 0;
}

RunVerdict RunSummary::Verdict() const {
    // A loopback only echoes; it has nothing to judge.
    if (Mode != TestMode::Bert) return RunVerdict::Clean;
    if (Received == 0) return RunVerdict::NoData;
    if (HasPackets() && !Synchronised) return RunVerdict::NeverSynchronised;
    return AnyErrors() ? RunVerdict::Errors : RunVerdict::Clean;
}

const char* VerdictText(RunVerdict verdict) {
    switch (verdict) {
        case RunVerdict::Clean:
            return "no errors";
        case RunVerdict::Errors:
            return "errors counted";
        case RunVerdict::NoData:
            return "no data received";
        case RunVerdict::NeverSynchronised:
            return "never synchronised";
    }
    return "";
}

std::string CliReport::Cell(StatCell cell) const {
    const auto it = m_cells.find(cell);
    return it == m_cells.end() || it->second.empty() ? "-" : it->second;
}

void CliReport::SecondElapsed() {
    m_secondErrored = m_engine.Counters.Errors > m_errorsAtLastSecond;
    if (m_secondErrored) ++m_erroredSeconds;
    m_errorsAtLastSecond = m_engine.Counters.Errors;
    if (!m_printSeconds) return;
    const auto lamp = [this](Led led, const char* name) {
        const auto it = m_leds.find(led);
        return std::string(name) + (it != m_leds.end() && it->second ? "+" : "-");
    };
    const DriverErrorCounters& d = m_engine.DriverErrors;
    const BertChecker& c = m_engine.Checker;
    m_out << std::setw(4) << ++m_lines << "  Received " << Cell(StatCell::Received) << "  symb/s "
          << Cell(StatCell::CharRate) << "  bit/s " << Cell(StatCell::BitRate);
    // A loopback echoes what it received; it counts no errors of its own.
    if (m_engine.Mode == TestMode::Loopback) {
        m_out << "  echoed  Time " << Cell(StatCell::Time);
    } else {
        m_out << "  Errors " << Cell(StatCell::Errors) << "  Coef " << Cell(StatCell::Coefficient)
              << "  Time " << Cell(StatCell::Time) << "  | Parity " << d.ParityErrors
              << " Overrun " << d.OverrunErrors << " Framing " << d.FramingErrors << " Other "
              << d.OtherErrors;
    }
    if (m_engine.Mode == TestMode::Bert && m_engine.Params.PacketSize != 1)
        m_out << "  | Invalid " << c.InvalidSymbolCount << " Lost " << c.SymbolLostCount
              << " Sync " << c.SyncLostCount;
    m_out << "  | " << lamp(Led::CTS, "CTS") << ' ' << lamp(Led::DSR, "DSR") << ' '
          << lamp(Led::DCD, "DCD") << ' ' << lamp(Led::XR, "XR") << ' ' << lamp(Led::XS, "XS")
          << '\n'
          << std::flush;
}

// What the last cycle read after the last update belongs to the second that update closed.
void CliReport::Finish() {
    if (m_engine.Counters.Errors > m_errorsAtLastSecond && !m_secondErrored) ++m_erroredSeconds;
    m_secondErrored = true;
    m_errorsAtLastSecond = m_engine.Counters.Errors;
}

void CliReport::ErrorBox(const std::string& text, bool) {
    m_err << text << '\n' << std::flush;
}

RunSummary Summarise(const Engine& e, const CliReport& report, const CliOptions& o,
                     std::int64_t nowUs) {
    RunSummary s;
    s.Port = o.Settings.Port;
    s.Mode = o.Mode;
    s.PacketSize = e.Params.PacketSize;
    const std::int64_t elapsedUs = std::max<std::int64_t>(0, nowUs - e.Counters.StartTimeUs);
    s.Seconds = static_cast<double>(elapsedUs) / 1e6;
    s.Received = e.Counters.Received;
    s.Errors = e.Counters.Errors;
    s.CharRate = CharRate(s.Received, elapsedUs / 1000);
    s.BitRate = static_cast<std::int64_t>(e.Params.BitsPerChar * static_cast<double>(s.CharRate));
    const double capacity = s.Seconds * o.Settings.BitRate / e.Params.BitsPerChar;
    // Not cut at 1: a pseudo-terminal carries more than its configured line, and says so here.
    s.CapacityUsed = capacity > 0 ? static_cast<double>(s.Received) / capacity : 0;
    s.ErroredSeconds = report.ErroredSeconds();
    s.Synchronised = s.HasPackets() && !e.State.FirstData;
    s.Shown = report.Cells();
    s.Packet = e.Checker;
    s.Driver = e.DriverErrors;
    return s;
}

void PrintSummary(std::ostream& out, const RunSummary& s, const CliOptions& o) {
    const auto shown = [&s](StatCell cell, std::size_t width = 20) {
        const auto it = s.Shown.find(cell);
        return Padded(it == s.Shown.end() || it->second.empty() ? "-" : it->second, width);
    };
    out << "Summary: " << s.Port << ", " << ModeName(s.Mode) << ", " << o.Settings.BitRate
        << " bit/s " << FrameText(o.Settings) << ", packet " << o.Settings.PacketSize << '\n'
        << "  Received          " << shown(StatCell::Received) << "final count " << s.Received
        << " characters\n"
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
        out << "  Packet errors     Invalid symb " << s.Packet.InvalidSymbolCount
            << ", Symb is lost " << s.Packet.SymbolLostCount << ", Sync is lost "
            << s.Packet.SyncLostCount << '\n';
    out << "  Driver errors     Parity " << s.Driver.ParityErrors << ", Receive overrun "
        << s.Driver.OverrunErrors << ", Receive framing " << s.Driver.FramingErrors
        << ", Other errors " << s.Driver.OtherErrors << '\n'
        << "  Result            " << VerdictText(s.Verdict()) << '\n';
}

void PrintJson(std::ostream& out, const RunSummary& s) {
    std::string coefficient = "null";
    if (s.Received != 0) {
        char buf[64];
        const double ratio = static_cast<double>(s.Errors) / static_cast<double>(s.Received);
        coefficient.assign(buf, std::to_chars(buf, buf + sizeof buf, ratio).ptr);
    }
    out << "{\"port\":" << JsonString(s.Port) << ",\"mode\":" << JsonString(ModeName(s.Mode))
        << ",\"seconds\":" << Fixed(s.Seconds, 3) << ",\"received\":" << s.Received
        << ",\"errors\":" << s.Errors << ",\"coefficient\":" << coefficient
        << ",\"symbols_per_second\":" << s.CharRate << ",\"bits_per_second\":" << s.BitRate
        << ",\"invalid_symbols\":" << s.Packet.InvalidSymbolCount
        << ",\"lost_symbols\":" << s.Packet.SymbolLostCount
        << ",\"sync_lost\":" << s.Packet.SyncLostCount
        << ",\"parity_errors\":" << s.Driver.ParityErrors
        << ",\"overrun_errors\":" << s.Driver.OverrunErrors
        << ",\"framing_errors\":" << s.Driver.FramingErrors
        << ",\"other_errors\":" << s.Driver.OtherErrors
        << ",\"capacity_used\":" << Fixed(s.CapacityUsed, 4)
        << ",\"errored_seconds\":" << s.ErroredSeconds
        << ",\"synchronised\":" << (s.HasPackets() ? (s.Synchronised ? "true" : "false") : "null")
        << ",\"result\":" << JsonString(VerdictText(s.Verdict())) << "}\n";
}

}  // namespace kvartix
