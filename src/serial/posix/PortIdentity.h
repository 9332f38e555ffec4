#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "serial/PortDiscovery.h"

namespace kvartix {

// The number stat gives a character device at path, links followed; 0 for anything else.
dev_t CharDeviceNumber(const std::string& path);

// Where the kernel's views are mounted; a test passes a tree of its own, and plays the
// device numbers its tree of plain files cannot hold.
struct SystemRoots {
    std::string Sys = "/sys";
    std::string Dev = "/dev";
    std::string Proc = "/proc";
    std::function<dev_t(const std::string& path)> DeviceNumber = CharDeviceNumber;
};

// What sysfs, /dev/serial/by-id and /proc tell of a terminal device (a by-id link is
// followed to its device first). Device stays the path as given.
PortInfo IdentifyPort(const std::string& devicePath, const SystemRoots& roots);

// Fills list.Info beside list.Names; LOOP and other names that are not paths get only
// their device.
void IdentifyPorts(PortList& list, const SystemRoots& roots);

}  // namespace kvartix
