#include "app/IniFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kvartix {
namespace {

namespace fs = std::filesystem;

int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

bool MayWrite(const fs::path& file, const fs::file_status& status) {
#ifdef _WIN32
    (void)file;
    return (status.permissions() & fs::perms::owner_write) != fs::perms::none;
#else
    (void)status;
    return ::access(file.c_str(), W_OK) == 0;
#endif
}

bool WriteWhole(const fs::path& file, const std::string& text) {
    std::FILE* f = std::fopen(file.string().c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0;
#ifndef _WIN32
    // On the disk before the rename makes it the settings file.
    ok = ok && ::fsync(::fileno(f)) == 0;
#endif
    return std::fclose(f) == 0 && ok;
}

}  // namespace

IniDocument LoadIniFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return IniDocument();
    std::ostringstream text;
    text << in.rdbuf();
    return IniDocument::Parse(text.str());
}

std::string WriteRefusedMessage(const std::string& path) {
    return "Unable to write to " + path + ".";
}

std::optional<std::string> SaveIniFile(const std::string& path, const IniDocument& doc,
                                       const IniSaveOptions& options) {
    std::error_code ec;
    if (!options.CreateFolder.empty()) fs::create_directories(options.CreateFolder, ec);

    // A link stays a link: the file it points to is the one replaced.
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        const auto resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    const auto status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (exists && !MayWrite(target, status)) return WriteRefusedMessage(path);

    fs::path temporary = target;
    temporary += "." + std::to_string(ProcessId()) + ".tmp";
    if (!WriteWhole(temporary, doc.Text())) {
        fs::remove(temporary, ec);
        return WriteRefusedMessage(path);
    }
    if (exists) fs::permissions(temporary, status.permissions(), ec);
    const bool renamed = options.Rename ? options.Rename(temporary.string(), target.string())
                                        : (fs::rename(temporary, target, ec), !ec);
    if (!renamed) {
        fs::remove(temporary, ec);
        return WriteRefusedMessage(path);
    }
    return std::nullopt;
}

}  // namespace kvartix
