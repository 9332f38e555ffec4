#pragma once

#include <functional>
#include <ostream>

#include "cli/CliOptions.h"
#include "serial/Clock.h"
#include "serial/CommPort.h"

namespace kvartix {

enum CliExit { kExitClean = 0, kExitErrors = 1, kExitNoSession = 2, kExitBadOptions = 3 };

// How the run waits for its next cycle: sleeps on a real clock, advances a test's clock.
using WaitUntil = std::function<void(std::int64_t clockUs)>;

// One headless session on the 100 ms cycle; returns the exit status.
int RunCli(const CliOptions& options, const Clock& clock, const WaitUntil& waitUntil,
           PortOpener& opener, std::ostream& out, std::ostream& err);

// The whole program: parses the arguments, then runs on the system clock and ports.
int CliMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvartix
