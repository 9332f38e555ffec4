#include "serial/PortDiscovery.h"

#include <algorithm>

#if defined(__linux__)
#include "serial/posix/PosixSys.h"
#include "serial/posix/SystemDeviceTable.h"
#elif defined(_WIN32)
#include "serial/win32/Win32CommPort.h"
#endif

namespace kvartix {

void Preselect(PortList& list, const std::string& savedPort) {
    const bool saved =
        std::find(list.Names.begin(), list.Names.end(), savedPort) != list.Names.end();
    list.Preselected = saved ? savedPort : list.Names.empty() ? "" : list.Names.front();
}

PortList DiscoverSystemPorts(const std::string& savedPort, std::vector<std::string>* refusals) {
#if defined(__linux__)
    SystemDeviceTable table(SystemCalls());
    PortList list = DiscoverPorts(table, savedPort);
    if (refusals) *refusals = table.Refusals();
    return list;
#elif defined(_WIN32)
    (void)refusals;
    Win32DeviceProbe probe;
    return DiscoverWin32Ports(probe, savedPort);
#else
    (void)refusals;
    PortList list{{"LOOP"}, ""};
    Preselect(list, savedPort);
    return list;
#endif
}

}  // namespace kvartix
