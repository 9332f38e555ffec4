#include "serial/win32/Win32Discovery.h"

#include "serial/DevicePath.h"

namespace kvartix {

PortList DiscoverWin32Ports(DeviceProbe& probe, const std::string& savedPort) {
    PortList list;
    for (int n = 1; n <= 32; ++n) {
        const std::string name = "COM" + std::to_string(n);
        if (probe.Opens(Win32DevicePath(name))) list.Names.push_back(name);
    }
    list.Names.push_back("LOOP");
    Preselect(list, savedPort);
    return list;
}

}  // namespace kvartix
