#pragma once

#include <cstdint>
#include <string>

#include "engine/Engine.h"

namespace kvartix {

// One row of a run's record: what the statistics show at an update, and every count
// behind them.
struct RecordRow {
    std::int64_t ElapsedMs = 0;
    std::int64_t Received = 0;
    std::int64_t CharRate = 0;
    std::int64_t BitRate = 0;
    std::int64_t Errors = 0;
    BertChecker Packet;  // its three counts
    DriverErrorCounters Driver;
    // The line-status bits the lamps show; none lit unless set.
    LineStatus Lines = kCtsInactive | kDsrInactive | kDcdInactive;
    double CapacityUsed = 0;  // received over what the line could carry in the time
};

// The column names, one CSV line with its line end.
std::string RecordHeader();
// One CSV line with its line end; numbers with "." whatever the locale.
std::string RecordLine(const RecordRow& row);
// The engine at a moment of the monotonic clock: the stop, or its last statistics update.
RecordRow RecordRowAt(const Engine& engine, std::int64_t nowUs);
RecordRow RecordRowAtUpdate(const Engine& engine);

// A file name for the record of a session on this port begun at this wall-clock time (UTC):
// "COM1_20261208T201716Z.csv", a device path's separators and other characters no file
// system takes as "_" ("dev_ttyUSB0_...").
std::string RecordFileName(const std::string& port, std::int64_t wallUs);

}  // namespace kvartix
