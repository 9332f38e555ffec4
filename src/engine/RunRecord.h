#pragma once

#include <cstdint>
#include <string>

#include "engine/RunFigures.h"

namespace kvartix {

// The column names, one CSV line with its line end.
std::string RecordHeader();
// One CSV line with its line end; numbers with "." whatever the locale.
std::string RecordLine(const RunFigures& row);

// A file name for the record of a session on this port begun at this wall-clock time (UTC):
// "COM1_20261208T201716Z.csv", a device path's separators and other characters no file
// system takes as "_" ("dev_ttyUSB0_..."). A second session in the same second takes copy 2
// ("…Z-2.csv"), and so on.
std::string RecordFileName(const std::string& port, std::int64_t wallUs, int copy = 1);

}  // namespace kvartix
