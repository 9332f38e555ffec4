#include "serial/posix/PosixDiscovery.h"

#include <algorithm>
#include <tuple>

#include "serial/DevicePath.h"

namespace kvartix {
namespace {

constexpr int kComPorts = 32;

// ttyUSB before ttyACM, then by number, so that ttyUSB10 follows ttyUSB9.
std::tuple<int, unsigned long, std::string> Order(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const int kind = name.rfind("ttyUSB", 0) == 0 ? 0 : 1;
    const auto digits = name.find_first_of("0123456789");
    const unsigned long number = digits == std::string::npos ? 0 : std::stoul(name.substr(digits));
    return {kind, number, path};
}

}  // namespace

PortList DiscoverPorts(DeviceTable& table, const std::string& savedPort) {
    PortList list;
    for (int n = 1; n <= kComPorts; ++n) {
        const std::string name = "COM" + std::to_string(n);
        if (table.HasUart(n - 1) && table.OpensExclusively(PosixDevicePath(name)))
            list.Names.push_back(name);
    }
    std::vector<std::string> usb = table.UsbSerialDevices();
    std::sort(usb.begin(), usb.end(),
              [](const std::string& a, const std::string& b) { return Order(a) < Order(b); });
    for (const std::string& path : usb)
        if (table.OpensExclusively(path)) list.Names.push_back(path);
    list.Names.push_back("LOOP");
    Preselect(list, savedPort);
    return list;
}

}  // namespace kvartix
