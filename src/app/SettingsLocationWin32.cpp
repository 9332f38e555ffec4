// Where this run's settings file is, on Windows.
#include <windows.h>

#include <cstdlib>

#include "app/SettingsPath.h"

namespace kvartix {

SettingsLocation RunningSettingsLocation(std::string_view argument) {
    char buffer[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::vector<std::string> programFolders;
    for (const char* name : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"})
        if (const char* value = std::getenv(name); value && *value) programFolders.emplace_back(value);
    const char* appData = std::getenv("APPDATA");
    const SettingsFolder folder =
        Win32SettingsFolder(std::string(buffer, n), programFolders, appData ? appData : "");
    return LocationIn(argument, folder, PathStyle::Windows);
}

}  // namespace kvartix
