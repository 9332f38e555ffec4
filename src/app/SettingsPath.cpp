#include "app/SettingsPath.h"

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kvartix {
namespace {

std::string_view Separators(PathStyle style) {
    return style == PathStyle::Windows ? "\\:" : "/";
}

std::string_view FileNameOf(std::string_view path, PathStyle style) {
    const auto cut = path.find_last_of(Separators(style));
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string WithoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

std::string ExecutablePath() {
#ifdef _WIN32
    char buffer[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, n);
#else
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
#endif
}

#ifndef _WIN32
std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}
#endif

}  // namespace

std::string FolderOf(std::string_view path, PathStyle style) {
    const auto cut = path.find_last_of(Separators(style));
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

std::string SettingsPath(std::string_view argument, std::string_view executableFolder,
                         PathStyle style) {
    if (argument.empty()) return std::string(executableFolder) + "default.ini";
    std::string path(argument);
    if (path.find('.') == std::string::npos) path += ".ini";
    // Only the backslash counts on Windows: a drive or a forward slash alone still gets the
    // folder in front.
    const char separator = style == PathStyle::Windows ? '\\' : '/';
    if (path.find(separator) == std::string::npos) path.insert(0, executableFolder);
    return path;
}

std::string SettingsName(std::string_view settingsPath, PathStyle style) {
    const auto name = FileNameOf(settingsPath, style);
    return std::string(name.substr(0, name.find('.')));
}

std::string MainCaption(std::string_view settingsPath, PathStyle style) {
    return "KVARTIX " + SettingsName(settingsPath, style);
}

std::string TerminalCaption(std::string_view settingsPath, PathStyle style) {
    return "Term " + SettingsName(settingsPath, style);
}

SettingsFolder PosixSettingsFolder(std::string_view executablePath, std::string_view installBinDir,
                                   std::string_view xdgConfigHome, std::string_view home) {
    const std::string folder = FolderOf(executablePath, PathStyle::Posix);
    const bool installed = !installBinDir.empty() && !folder.empty() &&
                           WithoutTrailingSlashes(folder) == WithoutTrailingSlashes(installBinDir);
    if (!installed) return {folder, false};
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/')
        return {WithoutTrailingSlashes(xdgConfigHome) + "/kvartix/", true};
    if (!home.empty()) return {WithoutTrailingSlashes(home) + "/.config/kvartix/", true};
    return {folder, false};
}

SettingsLocation RunningSettingsLocation(std::string_view argument) {
    const std::string exe = ExecutablePath();
#ifdef _WIN32
    return {SettingsPath(argument, FolderOf(exe, PathStyle::Windows), PathStyle::Windows), {}};
#else
    std::string bindir;
#ifdef KVARTIX_INSTALL_BINDIR
    std::error_code ec;
    bindir = std::filesystem::weakly_canonical(KVARTIX_INSTALL_BINDIR, ec).string();
    if (ec) bindir = KVARTIX_INSTALL_BINDIR;
#endif
    const SettingsFolder folder =
        PosixSettingsFolder(exe, bindir, Environment("XDG_CONFIG_HOME"), Environment("HOME"));
    SettingsLocation location{SettingsPath(argument, folder.Folder, PathStyle::Posix), {}};
    if (folder.MadeBySave && location.Path.starts_with(folder.Folder))
        location.FolderToCreate = folder.Folder;
    return location;
#endif
}

}  // namespace kvartix
