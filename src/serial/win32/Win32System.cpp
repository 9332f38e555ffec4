// The Windows side of what every backend gives (the build takes this file or
// serial/posix/PosixSystem.cpp): the device a port name stands for, the opener's devices and
// the machine's port list.
//
// windows.h comes first on purpose: CommTypes.h then finds its Win32 names already defined
// as macros and checks that they are its own numbers.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "serial/CommTypes.h"
#include "serial/DevicePath.h"
#include "serial/PortDiscovery.h"
#include "serial/SystemPortOpener.h"
#include "serial/win32/Win32CommPort.h"
#include "serial/win32/Win32Discovery.h"

namespace kvartix {

std::string DevicePathFor(const std::string& portName) {
    return Win32DevicePath(portName);
}

// Any name the system accepts, "\\.\COMn" included.
std::unique_ptr<CommPort> SystemPortOpener::OpenDevice(const std::string& devicePath,
                                                       bool overlapped, PortRefusal&) {
    if (devicePath.empty()) return nullptr;
    return Win32CommPort::Open(devicePath, overlapped);
}

// Only the device: SetupAPI friendly names are not read.
PortInfo DescribeSystemPort(const std::string& portName) {
    PortInfo info;
    info.Device = Win32DevicePath(portName);
    return info;
}

PortList DiscoverSystemPorts(const std::string& savedPort, std::vector<std::string>*) {
    Win32DeviceProbe probe;
    PortList list = DiscoverWin32Ports(probe, savedPort);
    for (const std::string& name : list.Names) list.Info.push_back(DescribeSystemPort(name));
    return list;
}

}  // namespace kvartix
