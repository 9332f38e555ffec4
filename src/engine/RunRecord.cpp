#include "engine/RunRecord.h"

#include <charconv>
#include <chrono>
#include <cstdio>

#include "engine/Statistics.h"

namespace kvartix {
namespace {

std::string Fixed(double v, int decimals) {
    char buf[400];
    return {buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals).ptr};
}

// A test pattern's: bits, their ratio (empty before one was compared) and the G.821 seconds;
// zeros for the packets.
std::string PatternColumns(const RunFigures& r) {
    const PatternCounts& c = r.Sequence;
    std::string ratio;
    if (const auto ber = BitErrorRatio(c.BitErrors, c.BitsChecked)) {
        char buf[64];
        ratio.assign(buf, std::to_chars(buf, buf + sizeof buf, *ber).ptr);
    }
    std::string text = "," + std::to_string(c.BitsChecked) + "," + std::to_string(c.BitErrors) +
                       "," + ratio;
    for (const std::int64_t n : {c.SyncLosses, r.Quality.SeverelyErrored, r.Quality.Unavailable,
                                 r.Quality.ErrorFree})
        text += "," + std::to_string(n);
    return text;
}

}  // namespace

std::string RecordHeader() {
    return "time_s,received,symbols_per_s,bits_per_s,errors,coefficient,invalid_symbols,"
           "lost_symbols,sync_lost,parity_errors,overrun_errors,framing_errors,other_errors,"
           "cts,dsr,dcd,xr,xs,capacity_used,bits_checked,bit_errors,ber,pattern_sync_lost,"
           "severely_errored_s,unavailable_s,error_free_s\n";
}

std::string RecordLine(const RunFigures& r) {
    std::string line = Fixed(static_cast<double>(r.ElapsedUs) / 1e6, 1);
    for (const std::int64_t n : {r.Received, r.CharRate, r.BitRate, r.Errors})
        line += "," + std::to_string(n);
    line += "," + CoefficientText(r.Errors, r.Received, '.');
    for (const std::int64_t n :
         {std::int64_t{r.Packet.InvalidSymbolCount}, std::int64_t{r.Packet.SymbolLostCount},
          std::int64_t{r.Packet.SyncLostCount}, std::int64_t{r.Driver.ParityErrors},
          std::int64_t{r.Driver.OverrunErrors}, std::int64_t{r.Driver.FramingErrors},
          std::int64_t{r.Driver.OtherErrors}})
        line += "," + std::to_string(n);
    const LineStatus s = r.Lines;
    for (const bool lamp :
         {(s & kCtsInactive) == 0, (s & kDsrInactive) == 0, (s & kDcdInactive) == 0,
          (s & kXoffReceivedHold) != 0, (s & kXoffSentHold) != 0})
        line += lamp ? ",1" : ",0";
    line += "," + Fixed(r.CapacityUsed, 4);
    return line + PatternColumns(r) + "\n";
}

std::string RecordFileName(const std::string& port, std::int64_t wallUs, int copy) {
    std::string name = port.rfind("/", 0) == 0 ? port.substr(1) : port;
    for (char& c : name)
        if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos ||
            static_cast<unsigned char>(c) < 0x20)
            c = '_';
    using namespace std::chrono;
    const sys_seconds at{duration_cast<seconds>(microseconds{wallUs})};
    const auto day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss time{at - day};
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "_%04d%02u%02uT%02d%02d%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return name + stamp + (copy > 1 ? "-" + std::to_string(copy) : "") + ".csv";
}

}  // namespace kvartix
