// The settings file's reads and writes on Windows (the build takes this file or
// app/IniFilePosix.cpp): through the C library and std::filesystem.
#include <process.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "app/IniFileSystem.h"

namespace kvartix::ini_file {

namespace fs = std::filesystem;

int ProcessId() {
    return _getpid();
}

void ReadRegularFile(const std::string& path, IniRead& read) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (!fs::exists(status)) return;
    read.Found = true;
    if (fs::is_directory(status)) return void(read.Problem = "is a folder");
    if (!fs::is_regular_file(status)) return void(read.Problem = "is not a regular file");
    if (fs::file_size(path, ec) > kMaxIniFileSize) return void(read.Problem = TooLarge());
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return void(read.Problem = CannotBeRead(errno));
    std::string bytes;
    char chunk[1 << 16];
    while (bytes.size() <= kMaxIniFileSize) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n == 0) break;
        bytes.append(chunk, n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return void(read.Problem = CannotBeRead(EIO));
    if (bytes.size() > kMaxIniFileSize) return void(read.Problem = TooLarge());
    read.Doc = IniDocument::Parse(bytes);
}

bool ReplaceFile(const fs::path& target, const std::string& bytes, const RenameStep& rename) {
    std::error_code ec;
    const auto status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) return false;
    if (exists && (status.permissions() & fs::perms::owner_write) == fs::perms::none) return false;
    const fs::path temporary = TemporaryBeside(target);
    std::FILE* f = std::fopen(temporary.string().c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok && exists) fs::permissions(temporary, status.permissions(), ec);
    if (ok) ok = rename ? rename(temporary.string(), target.string())
                        : (fs::rename(temporary, target, ec), !ec);
    if (!ok) fs::remove(temporary, ec);
    return ok;
}

}  // namespace kvartix::ini_file
