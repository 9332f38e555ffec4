#include "serial/posix/PortIdentity.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "serial/DevicePath.h"

namespace kvartix {
namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

fs::path Canonical(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::canonical(p, ec);
    return ec ? p : c;
}

// The USB device's attribute files sit some levels above the tty's device (the interface,
// for ttyUSB the usb-serial port too); the first folder with an idVendor is the device.
void ReadUsb(fs::path dir, const fs::path& sysRoot, PortInfo& info) {
    for (; !dir.empty() && dir != sysRoot && dir != dir.parent_path(); dir = dir.parent_path()) {
        std::error_code ec;
        if (!fs::exists(dir / "idVendor", ec)) continue;
        info.VendorId = FirstLine(dir / "idVendor");
        info.ProductId = FirstLine(dir / "idProduct");
        info.Manufacturer = FirstLine(dir / "manufacturer");
        info.Product = FirstLine(dir / "product");
        info.Serial = FirstLine(dir / "serial");
        return;
    }
}

std::string ById(const fs::path& byId, const fs::path& device) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(byId, ec))
        if (Canonical(entry.path()) == device) return entry.path().string();
    return {};
}

// A name tells nothing of a link, a bind mount or another node of the same device; the
// device number does. The kernel's log goes to each device /proc/consoles names (a name with
// no device, such as netconsole's, has no node); /dev/console and /dev/tty0, the virtual
// console in front, reach them as well. /dev/tty is each process's own terminal instead.
bool IsConsole(const fs::path& device, const SystemRoots& roots) {
    const dev_t port = roots.DeviceNumber(device.string());
    if (port == 0) return false;
    std::vector<std::string> names{"console", "tty0"};
    std::ifstream in(fs::path(roots.Proc) / "consoles");
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        if (std::string first; words >> first) names.push_back(first);
    }
    for (const std::string& name : names)
        if (roots.DeviceNumber((fs::path(roots.Dev) / name).string()) == port) return true;
    return false;
}

// Since Linux 6.5 a UART's tty hangs from the serial core's own port and controller
// devices; the driver a person knows is on the hardware above them. The 8250 core's
// platform, PNP and PCI parts register as serial8250 and serial.
std::string DriverOf(fs::path dir, const fs::path& sysRoot) {
    for (; !dir.empty() && dir != sysRoot && dir != dir.parent_path(); dir = dir.parent_path()) {
        std::error_code ec;
        const fs::path driver = Canonical(dir / "driver");
        if (!fs::exists(driver, ec)) return {};
        if (driver.parent_path().parent_path().filename() == "serial-base") continue;
        const std::string name = driver.filename().string();
        return name == "serial8250" || name == "serial" ? "8250" : name;
    }
    return {};
}

// The kernel's number of a tty, as /proc/<pid>/stat gives a controlling terminal; -1 unknown.
long TtyNumber(const fs::path& ttyClassEntry) {
    std::ifstream in(ttyClassEntry / "dev");
    long major = -1, minor = -1;
    char colon = 0;
    if (!(in >> major >> colon >> minor) || colon != ':') return -1;
    return (major << 8) | (minor & 0xff) | ((minor & ~0xffL) << 12);
}

long ControllingTty(const fs::path& process) {
    std::ifstream in(process / "stat");
    std::string stat;
    std::getline(in, stat);
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    long ppid = 0, pgrp = 0, session = 0, tty = -1;
    fields >> state >> ppid >> pgrp >> session >> tty;
    return tty;
}

// A getty names its line on its command line, or (systemd's serial gettys) takes it as
// standard input and controlling terminal; /proc/<pid>/stat tells that to any user, where
// its descriptors would need root.
bool HeldByGetty(const fs::path& proc, const std::string& name, long ttyNumber) {
    std::error_code ec;
    for (const auto& process : fs::directory_iterator(proc, ec)) {
        std::ifstream in(process.path() / "cmdline", std::ios::binary);
        std::vector<std::string> args;
        for (std::string arg; std::getline(in, arg, '\0');) args.push_back(arg);
        if (args.empty() ||
            fs::path(args.front()).filename().string().find("getty") == std::string::npos)
            continue;
        for (std::size_t i = 1; i < args.size(); ++i)
            if (args[i] == name || args[i] == "/dev/" + name) return true;
        if (ttyNumber > 0 && ControllingTty(process.path()) == ttyNumber) return true;
    }
    return false;
}

}  // namespace

dev_t CharDeviceNumber(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) ? st.st_rdev : 0;
}

PortInfo IdentifyPort(const std::string& devicePath, const SystemRoots& roots) {
    PortInfo info;
    info.Device = devicePath;
    const fs::path device = Canonical(devicePath);
    const std::string name = device.filename().string();
    const fs::path sys(roots.Sys);
    const fs::path ttyClass = sys / "class" / "tty" / name;
    const fs::path ttyDevice = ttyClass / "device";
    std::error_code ec;
    if (fs::exists(ttyDevice, ec)) {
        info.Driver = DriverOf(Canonical(ttyDevice), Canonical(sys));
        ReadUsb(Canonical(ttyDevice), Canonical(sys), info);
    }
    info.ById = ById(fs::path(roots.Dev) / "serial" / "by-id", device);
    info.Console = IsConsole(device, roots);
    info.Getty = HeldByGetty(roots.Proc, name, TtyNumber(ttyClass));
    return info;
}

void IdentifyPorts(PortList& list, const SystemRoots& roots) {
    list.Info.clear();
    for (const std::string& name : list.Names) {
        const std::string path = PosixDevicePath(name);
        if (!path.empty() && path.front() == '/') {
            list.Info.push_back(IdentifyPort(path, roots));
        } else {
            list.Info.emplace_back().Device = path;
        }
    }
}

}  // namespace kvartix
