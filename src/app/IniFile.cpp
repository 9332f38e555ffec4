#include "app/IniFile.h"

#include <cstring>
#include <filesystem>

#include "app/IniFileSystem.h"

namespace kvartix {
namespace {

namespace fs = std::filesystem;

// The file a path stands for: every link followed, also to a file that does not exist yet.
// A loop of links gives up at a link, which the save then refuses to replace.
fs::path FollowLinks(fs::path path) {
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) break;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

}  // namespace

namespace ini_file {

std::string TooLarge() {
    return "is larger than " + std::to_string(kMaxIniFileSize >> 20) + " MB";
}

std::string CannotBeRead(int error) {
    return "cannot be read (" + std::string(std::strerror(error)) + ")";
}

fs::path TemporaryBeside(const fs::path& file) {
    fs::path temporary = file;
    temporary += "." + std::to_string(ProcessId()) + ".tmp";
    return temporary;
}

}  // namespace ini_file

IniRead ReadIniFile(const std::string& path) {
    IniRead read;
    ini_file::ReadRegularFile(path, read);
    return read;
}

std::string WriteRefusedMessage(const std::string& path) {
    return "Unable to write to " + path + ".";
}

std::optional<std::string> SaveIniFile(const std::string& path, const IniDocument& doc,
                                       const IniSaveOptions& options) {
    std::error_code ec;
    if (!options.CreateFolder.empty()) fs::create_directories(options.CreateFolder, ec);
    if (!ini_file::ReplaceFile(FollowLinks(path), doc.Text(), options.Rename))
        return WriteRefusedMessage(path);
    return std::nullopt;
}

}  // namespace kvartix
