// The Linux side of what every backend gives (the build takes this file or
// serial/win32/Win32System.cpp): the device a port name stands for, the opener's terminal
// devices and the machine's port list.
#include "serial/DevicePath.h"
#include "serial/PortDiscovery.h"
#include "serial/SystemPortOpener.h"
#include "serial/posix/PosixCommPort.h"
#include "serial/posix/PosixSys.h"
#include "serial/posix/PortIdentity.h"
#include "serial/posix/SystemDeviceTable.h"

namespace kvartix {

std::string DevicePathFor(const std::string& portName) {
    return PosixDevicePath(portName);
}

// A terminal device for a path beginning with "/"; nothing else opens.
std::unique_ptr<CommPort> SystemPortOpener::OpenDevice(const std::string& devicePath, bool,
                                                       PortRefusal& refusal) {
    if (devicePath.empty() || devicePath.front() != '/') return nullptr;
    OpenRefusal why;
    auto port = PosixCommPort::Open(SystemCalls(), devicePath, &why);
    if (!port) refusal = {why.Error, Explain(devicePath, why)};
    return port;
}

PortList DiscoverSystemPorts(const std::string& savedPort, std::vector<std::string>* refusals) {
    SystemDeviceTable table(SystemCalls());
    PortList list = DiscoverPorts(table, savedPort);
    IdentifyPorts(list, SystemRoots{});
    if (refusals) *refusals = table.Refusals();
    return list;
}

PortInfo DescribeSystemPort(const std::string& portName) {
    PortList one;
    one.Names.push_back(portName);
    IdentifyPorts(one, SystemRoots{});
    return one.Info.front();
}

}  // namespace kvartix
