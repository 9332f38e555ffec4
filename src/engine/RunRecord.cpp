#include "engine/RunRecord.h"

#include <charconv>

#include "engine/Statistics.h"

namespace kvartix {
namespace {

std::string Fixed(double v, int decimals) {
    char buf[400];
    return {buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals).ptr};
}

}  // namespace

std::string RecordHeader() {
    return "time_s,received,symbols_per_s,bits_per_s,errors,coefficient,invalid_symbols,"
           "lost_symbols,sync_lost,parity_errors,overrun_errors,framing_errors,other_errors,"
           "cts,dsr,dcd,xr,xs,capacity_used\n";
}

std::string RecordLine(const RecordRow& r) {
    std::string line = Fixed(static_cast<double>(r.ElapsedMs) / 1000, 1);
    for (const std::int64_t n : {r.Received, r.CharRate, r.BitRate, r.Errors})
        line += "," + std::to_string(n);
    line += "," + CoefficientText(r.Errors, r.Received, '.');
    for (const std::int64_t n :
         {r.InvalidSymbols, r.LostSymbols, r.SyncLost, std::int64_t{r.Driver.ParityErrors},
          std::int64_t{r.Driver.OverrunErrors}, std::int64_t{r.Driver.FramingErrors},
          std::int64_t{r.Driver.OtherErrors}})
        line += "," + std::to_string(n);
    for (const bool lamp : {r.Cts, r.Dsr, r.Dcd, r.Xr, r.Xs}) line += lamp ? ",1" : ",0";
    return line + "," + Fixed(r.CapacityUsed, 4) + "\n";
}

RecordRow RecordRowAtUpdate(const Engine& e) {
    RecordRow r;
    const SessionCounters& c = e.Counters();
    r.ElapsedMs = (c.LastUpdateTimeUs - c.StartTimeUs) / 1000;
    r.Received = c.Received;
    r.CharRate = CharRate(c.Received, r.ElapsedMs);
    r.BitRate = static_cast<std::int64_t>(e.Params().BitsPerChar * static_cast<double>(r.CharRate));
    r.Errors = c.Errors;
    r.InvalidSymbols = e.Checker().InvalidSymbolCount;
    r.LostSymbols = e.Checker().SymbolLostCount;
    r.SyncLost = e.Checker().SyncLostCount;
    r.Driver = e.DriverErrors();
    const LineStatus s = e.State().PrevLineStatus;
    r.Cts = (s & kCtsInactive) == 0;
    r.Dsr = (s & kDsrInactive) == 0;
    r.Dcd = (s & kDcdInactive) == 0;
    r.Xr = (s & kXoffReceivedHold) != 0;
    r.Xs = (s & kXoffSentHold) != 0;
    const double capacity =
        static_cast<double>(r.ElapsedMs) / 1000 * e.Settings().BitRate / e.Params().BitsPerChar;
    r.CapacityUsed = capacity > 0 ? static_cast<double>(r.Received) / capacity : 0;
    return r;
}

}  // namespace kvartix
