#pragma once

#include <ostream>
#include <string>

#include "cli/CliOptions.h"
#include "serial/PortDiscovery.h"

namespace kvartix {

// One port a line, its device when the name is not the device, then what is known of it;
// with json, one array of objects (unknown texts null).
void PrintPorts(std::ostream& out, const PortList& list, bool json);

// Why the run must not start on this port, empty when it may.
std::string StartRefusal(const CliOptions& options, const PortInfo& port);

}  // namespace kvartix
