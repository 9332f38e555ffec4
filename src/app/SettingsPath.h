#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvartix {

// Windows: "\" separates folders and a drive ends at ":". POSIX: "/" separates folders.
enum class PathStyle { Windows, Posix };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// The folder part of a path, up to and including its last separator (Windows: backslash or
// colon); empty when there is none.
std::string FolderOf(std::string_view path, PathStyle style);

// A folder the settings file names, relative ones taken from the settings file's own folder,
// as its other paths are; an empty one stays empty.
std::string FolderBeside(std::string_view settingsPath, std::string_view folder, PathStyle style);

// The settings file of a run from the first command-line argument (empty when none):
// default.ini in the executable's folder; else ".ini" appended when the argument holds no "."
// anywhere, and the executable's folder put in front when it holds no separator anywhere.
std::string SettingsPath(std::string_view argument, std::string_view executableFolder,
                         PathStyle style);

// The name the captions show: the file name of the path, cut at its first ".".
std::string SettingsName(std::string_view settingsPath, PathStyle style);
std::string MainCaption(std::string_view settingsPath, PathStyle style);      // "KVARTIX " + name
std::string TerminalCaption(std::string_view settingsPath, PathStyle style);  // "Term " + name

// Where a POSIX program keeps its settings files: beside the executable, except for an
// installed one (its executable in installBinDir), whose files go to the user's configuration
// folder, $XDG_CONFIG_HOME/kvartix/ or ~/.config/kvartix/, made by the first save.
struct SettingsFolder {
    std::string Folder;  // ends in "/"
    bool MadeBySave = false;
};
SettingsFolder PosixSettingsFolder(std::string_view executablePath, std::string_view installBinDir,
                                   std::string_view xdgConfigHome, std::string_view home);

// The same on Windows: a copy installed under one of the program folders (Program Files and
// its 32-bit twin) keeps its files in %APPDATA%\kvartix\, made by the first save.
SettingsFolder Win32SettingsFolder(std::string_view executablePath,
                                   const std::vector<std::string>& programFolders,
                                   std::string_view appData);

// This run's settings file, and the folder a save has to make first (empty when none).
struct SettingsLocation {
    std::string Path;
    std::string FolderToCreate;
    // Set when the file is there but could not be read at start: the run has the defaults,
    // and no save of it replaces the file.
    bool LeaveAlone = false;
};
// From the system's answers (SettingsLocationPosix.cpp, SettingsLocationWin32.cpp).
SettingsLocation RunningSettingsLocation(std::string_view argument);
// The location a run has in the given settings folder.
SettingsLocation LocationIn(std::string_view argument, const SettingsFolder& folder,
                            PathStyle style);

}  // namespace kvartix
