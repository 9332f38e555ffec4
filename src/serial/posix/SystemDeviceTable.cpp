#include "serial/posix/SystemDeviceTable.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <regex>

#include "serial/posix/PosixCommPort.h"

namespace kvartix {

bool SystemDeviceTable::HasUart(int index) {
    std::ifstream type(m_ttyClass + "/ttyS" + std::to_string(index) + "/type");
    int uart = 0;
    return type >> uart && uart != 0;
}

std::vector<std::string> SystemDeviceTable::UsbSerialDevices() {
    static const std::regex kName("tty(USB|ACM)[0-9]+");
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_dev, ec)) {
        const std::string name = entry.path().filename().string();
        if (std::regex_match(name, kName)) paths.push_back(entry.path().string());
    }
    return paths;
}

// Linux raises DTR and RTS on this open; HUPCL, set by default, drops them at the close.
bool SystemDeviceTable::OpensExclusively(const std::string& path) {
    OpenRefusal why;
    if (PosixCommPort::OpenLocked(m_sys, path, &why)) return true;
    if (why.LockPid || why.Error == EACCES || why.Error == EPERM)
        m_refusals.push_back(Explain(path, why));
    return false;
}

}  // namespace kvartix
