#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

#include "app/SignalName.h"
#include "cli/CliOptions.h"
#include "engine/RunResult.h"
#include "engine/Statistics.h"

namespace kvartix {

// The run's final figures, with the statistics cells as the window last showed them.
void PrintSummary(std::ostream& out, const RunResult& r,
                  const std::map<StatCell, std::string>& shown, const CliOptions& options);
void PrintJson(std::ostream& out, const RunResult& r);

// The text in JSON's quotes, control characters escaped.
std::string JsonString(const std::string& s);

}  // namespace kvartix
