#include "engine/RunFigures.h"

#include "engine/Engine.h"
#include "engine/Statistics.h"

namespace kvartix {

std::int64_t AverageCharRate(std::int64_t received, std::int64_t elapsedUs, Averaging how) {
    if (how == Averaging::WholeTenths) return CharRate(received, elapsedUs / 1000);
    return elapsedUs > 0 ? received * 1'000'000 / elapsedUs : 0;
}

std::int64_t BitsPerSecond(std::int64_t charRate, double bitsPerChar) {
    return static_cast<std::int64_t>(bitsPerChar * static_cast<double>(charRate));
}

double CapacityUsed(std::int64_t received, std::int64_t elapsedUs, std::int32_t bitRate,
                    double bitsPerChar) {
    const double capacity = static_cast<double>(elapsedUs) / 1e6 * bitRate / bitsPerChar;
    return capacity > 0 ? static_cast<double>(received) / capacity : 0;
}

RunFigures FiguresOf(const Engine& e, std::int64_t elapsedUs, std::int64_t received,
                     std::int64_t rateBase, Averaging how) {
    RunFigures f;
    f.ElapsedUs = elapsedUs;
    f.Received = received;
    f.CharRate = AverageCharRate(rateBase, elapsedUs, how);
    f.BitRate = BitsPerSecond(f.CharRate, e.Params().BitsPerChar);
    f.Errors = e.Counters().Errors;
    f.Packet = e.Checker();
    f.Driver = e.DriverErrors();
    f.Lines = e.State().PrevLineStatus;
    if (const PatternCounts* sequence = e.Sequence()) f.Sequence = *sequence;
    f.CapacityUsed = CapacityUsed(rateBase, elapsedUs, e.Settings().BitRate, e.Params().BitsPerChar);
    return f;
}

}  // namespace kvartix
