#pragma once

#include <string>
#include <vector>

#include "serial/PortInfo.h"

namespace kvartix {

struct PortList {
    std::vector<std::string> Names;
    // Beside each name, what the port is; filled by the system's discovery only.
    std::vector<PortInfo> Info;
    std::string Preselected;
};

// The saved port when it is listed exactly as saved (letter case included), otherwise the
// first one listed, otherwise nothing.
void Preselect(PortList& list, const std::string& savedPort);

// The ports of this machine, found by its backend (serial/posix/PosixSystem.cpp or
// serial/win32/Win32System.cpp, whichever the build takes). refusals, when given, gets one
// line for each device that did not open for a reason a person can act on.
PortList DiscoverSystemPorts(const std::string& savedPort,
                             std::vector<std::string>* refusals = nullptr);

// What the system tells of the port a name stands for (a COM name, a device path, a by-id
// link); only the device for LOOP and for what the system does not know.
PortInfo DescribeSystemPort(const std::string& portName);

}  // namespace kvartix
