#pragma once

#include <cstdint>

#include "engine/BertChecker.h"
#include "engine/EngineState.h"
#include "engine/LineQuality.h"
#include "engine/PatternChecker.h"

namespace kvartix {

class Engine;

// A run's figures at one moment, every one from the same counts.
struct RunFigures {
    std::int64_t ElapsedUs = 0;
    std::int64_t Received = 0;
    std::int64_t CharRate = 0;
    std::int64_t BitRate = 0;
    std::int64_t Errors = 0;
    BertChecker Packet;  // its three counts
    DriverErrorCounters Driver;
    // The line-status bits the lamps show; none lit unless set.
    LineStatus Lines = kCtsInactive | kDsrInactive | kDcdInactive;
    double CapacityUsed = 0;  // characters over what the line could carry in the time
    PatternCounts Sequence;       // a test pattern's bits; all 0 for the packets
    LineQualityFigures Quality;   // its seconds, as the session controller classed them
};

// The two kinds of averages a run is shown with: each second's update as the statistics
// cells have always worked it out (over the elapsed time cut to whole tenths), and the whole
// run's on its exact time.
enum class Averaging { WholeTenths, Exact };

std::int64_t AverageCharRate(std::int64_t received, std::int64_t elapsedUs, Averaging how);
std::int64_t BitsPerSecond(std::int64_t charRate, double bitsPerChar);
// Not cut at 1: a pseudo-terminal carries more than its configured line, and says so here.
double CapacityUsed(std::int64_t received, std::int64_t elapsedUs, std::int32_t bitRate,
                    double bitsPerChar);

// The engine's figures after elapsedUs: `received` is the count shown, `rateBase` the count
// the rates and the capacity are taken over (the timed run's, when a drain followed it).
RunFigures FiguresOf(const Engine& engine, std::int64_t elapsedUs, std::int64_t received,
                     std::int64_t rateBase, Averaging how);

}  // namespace kvartix
