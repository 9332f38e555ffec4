#pragma once

#include <string>

#include "serial/PortDiscovery.h"

namespace kvartix {

// Whether a device path opens, exclusively and not overlapped, and is let go at once.
class DeviceProbe {
  public:
    virtual ~DeviceProbe() = default;
    virtual bool Opens(const std::string& devicePath) = 0;
};

// COM1 to COM32 that open now, each tried through its "\\.\" path, then LOOP.
PortList DiscoverWin32Ports(DeviceProbe& probe, const std::string& savedPort);

}  // namespace kvartix
