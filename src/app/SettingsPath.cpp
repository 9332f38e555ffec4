#include "app/SettingsPath.h"

#include <algorithm>
#include <cctype>

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

}  // namespace

std::string FolderOf(std::string_view path, PathStyle style) {
    const auto cut = path.find_last_of(Separators(style));
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

std::string FolderBeside(std::string_view settingsPath, std::string_view folder, PathStyle style) {
    const bool absolute =
        !folder.empty() && (folder.front() == '/' || (style == PathStyle::Windows &&
                                                      (folder.front() == '\\' ||
                                                       folder.find(':') != std::string_view::npos)));
    if (folder.empty() || absolute) return std::string(folder);
    return FolderOf(settingsPath, style) + std::string(folder);
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

// Folder names compare without regard to letter case, as Windows does.
static bool WithinFolder(std::string_view folder, std::string_view parent) {
    while (!parent.empty() && parent.back() == '\\') parent.remove_suffix(1);
    if (parent.empty() || folder.size() <= parent.size() || folder[parent.size()] != '\\')
        return false;
    return std::equal(parent.begin(), parent.end(), folder.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

SettingsFolder Win32SettingsFolder(std::string_view executablePath,
                                   const std::vector<std::string>& programFolders,
                                   std::string_view appData) {
    const std::string folder = FolderOf(executablePath, PathStyle::Windows);
    const bool installed =
        std::any_of(programFolders.begin(), programFolders.end(),
                    [&](const std::string& p) { return WithinFolder(folder, p); });
    if (!installed || appData.empty()) return {folder, false};
    while (appData.size() > 1 && appData.back() == '\\') appData.remove_suffix(1);
    return {std::string(appData) + "\\kvartix\\", true};
}

SettingsLocation LocationIn(std::string_view argument, const SettingsFolder& folder,
                            PathStyle style) {
    SettingsLocation location{SettingsPath(argument, folder.Folder, style), {}};
    if (folder.MadeBySave && location.Path.starts_with(folder.Folder))
        location.FolderToCreate = folder.Folder;
    return location;
}

}  // namespace kvartix
