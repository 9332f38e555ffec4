#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/CliCycles.h"
#include "cli/CliOptions.h"
#include "serial/Clock.h"
#include "serial/CommPort.h"

namespace kvartix {

// A run stopped by signal N exits kExitSignal + N.
enum CliExit {
    kExitClean = 0,
    kExitErrors = 1,
    kExitNoSession = 2,
    kExitBadOptions = 3,
    kExitOutputFailed = 4,  // the record or standard output could not be written
    kExitSignal = 128
};

// One headless session on the 100 ms cycle; returns the exit status.
int RunCli(const CliOptions& options, const Clock& clock, const WaitUntil& waitUntil,
           PortOpener& opener, std::ostream& out, std::ostream& err);

// The whole program: parses the arguments, then runs on the system clock and ports.
int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvartix
