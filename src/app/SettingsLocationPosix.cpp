// Where this run's settings file is, on Linux.
#include <cstdlib>
#include <filesystem>

#include "app/SettingsPath.h"

namespace kvartix {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

SettingsLocation RunningSettingsLocation(std::string_view argument) {
    std::error_code ec;
    const auto link = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string exe = ec ? std::string() : link.string();
    std::string bindir;
#ifdef KVARTIX_INSTALL_BINDIR
    bindir = std::filesystem::weakly_canonical(KVARTIX_INSTALL_BINDIR, ec).string();
    if (ec) bindir = KVARTIX_INSTALL_BINDIR;
#endif
    const SettingsFolder folder =
        PosixSettingsFolder(exe, bindir, Environment("XDG_CONFIG_HOME"), Environment("HOME"));
    return LocationIn(argument, folder, PathStyle::Posix);
}

}  // namespace kvartix
