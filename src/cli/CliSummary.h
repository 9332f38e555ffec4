#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "app/SignalName.h"
#include "cli/CliOptions.h"
#include "engine/RunResult.h"
#include "engine/Statistics.h"

namespace kvartix {

// One direction of a run: the checking port's result (none when it never started) and its
// statistics cells as the window would last have shown them.
struct CliOutcome {
    std::string Port;
    const RunResult* Result = nullptr;
    const std::map<StatCell, std::string>* Cells = nullptr;
};

// A run's final figures: one direction in full; several across a cable each in full; several
// plugs in one table.
void PrintSummaries(std::ostream& out, const std::vector<CliOutcome>& outcomes,
                    const CliOptions& options);
// One object a direction; an array of them for a run of several ports.
void PrintJson(std::ostream& out, const std::vector<CliOutcome>& outcomes, bool array);

// The text in JSON's quotes, control characters escaped.
std::string JsonString(const std::string& s);

}  // namespace kvartix
