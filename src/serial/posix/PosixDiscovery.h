#pragma once

#include <string>
#include <vector>

#include "serial/PortDiscovery.h"

namespace kvartix {

// What the probe asks of the machine.
class DeviceTable {
public:
    virtual ~DeviceTable() = default;
    // Whether /dev/ttyS<index> has a UART behind it.
    virtual bool HasUart(int index) = 0;
    // The paths of the USB and ACM serial devices present, in any order.
    virtual std::vector<std::string> UsbSerialDevices() = 0;
    // Opens the device as a session would, exclusively, and lets it go at once.
    virtual bool OpensExclusively(const std::string& path) = 0;
};

// The ports that open now: COM1 to COM32 for the UARTs, then the USB and ACM devices by
// kind and number, then LOOP, which is always there. The saved port is preselected when
// it is listed exactly as saved (letter case included), otherwise the first one.
PortList DiscoverPorts(DeviceTable& table, const std::string& savedPort);

}  // namespace kvartix
