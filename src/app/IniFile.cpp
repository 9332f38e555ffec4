#include "app/IniFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kvartix {
namespace {

namespace fs = std::filesystem;

const std::string kTooLarge = "is larger than " + std::to_string(kMaxIniFileSize >> 20) + " MB";

std::string CannotBeRead(int error) {
    return "cannot be read (" + std::string(std::strerror(error)) + ")";
}

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

int ProcessId() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(::getpid());
#endif
}

fs::path TemporaryBeside(const fs::path& file) {
    fs::path temporary = file;
    temporary += "." + std::to_string(ProcessId()) + ".tmp";
    return temporary;
}

#ifdef _WIN32

void ReadRegularFile(const std::string& path, IniRead& read) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (!fs::exists(status)) return;
    read.Found = true;
    if (fs::is_directory(status)) return void(read.Problem = "is a folder");
    if (!fs::is_regular_file(status)) return void(read.Problem = "is not a regular file");
    if (fs::file_size(path, ec) > kMaxIniFileSize) return void(read.Problem = kTooLarge);
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
    if (bytes.size() > kMaxIniFileSize) return void(read.Problem = kTooLarge);
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

#else

bool WriteAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// What is not a file to read, from its status; empty for a regular file of a sane size.
std::string NotReadable(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return "is a folder";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxIniFileSize) return kTooLarge;
    return {};
}

void ReadRegularFile(const std::string& path, IniRead& read) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        // A missing file, or one that cannot exist there; anything else is there unseen.
        if (errno == ENOENT || errno == ENOTDIR) return;
        read.Found = true;
        return void(read.Problem = CannotBeRead(errno));
    }
    read.Found = true;
    read.Problem = NotReadable(st);
    if (!read.Problem.empty()) return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return void(read.Problem = CannotBeRead(errno));
    // What was opened may not be what was looked at a moment before.
    read.Problem = ::fstat(fd, &st) == 0 ? NotReadable(st) : CannotBeRead(errno);
    if (!read.Problem.empty()) {
        ::close(fd);
        return;
    }
    std::string bytes(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t size = 0;
    for (;;) {
        if (size == bytes.size()) {
            if (size > kMaxIniFileSize) break;  // it grew since
            bytes.resize(std::min<std::size_t>(2 * size, kMaxIniFileSize + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + size, bytes.size() - size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) read.Problem = CannotBeRead(errno);
        if (n <= 0) break;
        size += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (read.Problem.empty() && size > kMaxIniFileSize) read.Problem = kTooLarge;
    if (read.Problem.empty()) read.Doc = IniDocument::Parse(std::string_view(bytes).substr(0, size));
}

// Over the old file, keeping its inode and so its owner, group and links: only when the new
// file cannot be given the owner and group. Not proof against a crash half way, as the rename
// is.
bool WriteInPlace(const fs::path& target, const std::string& bytes) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
              ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

bool ReplaceFile(const fs::path& target, const std::string& bytes, const RenameStep& rename) {
    struct stat old {};
    const bool exists = ::lstat(target.c_str(), &old) == 0;
    // A folder, a device or a link still unresolved is not a settings file to replace.
    if (exists && !S_ISREG(old.st_mode)) return false;
    if (exists && ::access(target.c_str(), W_OK) != 0) return false;

    const fs::path temporary = TemporaryBeside(target);
    ::unlink(temporary.c_str());  // a leftover of a copy killed before its rename
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = true;
    if (exists) {
        // The owner first: a change of owner clears the set-user-ID bits that the mode sets.
        if (::fchown(fd, old.st_uid, old.st_gid) == 0) {
            ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        } else if (errno == EPERM) {
            ::close(fd);
            ::unlink(temporary.c_str());
            return WriteInPlace(target, bytes);
        } else {
            ok = false;
        }
    }
    // On the disk before the rename makes it the settings file.
    ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = rename ? rename(temporary.string(), target.string())
                        : ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

#endif

}  // namespace

IniRead ReadIniFile(const std::string& path) {
    IniRead read;
    ReadRegularFile(path, read);
    return read;
}

std::string WriteRefusedMessage(const std::string& path) {
    return "Unable to write to " + path + ".";
}

std::optional<std::string> SaveIniFile(const std::string& path, const IniDocument& doc,
                                       const IniSaveOptions& options) {
    std::error_code ec;
    if (!options.CreateFolder.empty()) fs::create_directories(options.CreateFolder, ec);
    if (!ReplaceFile(FollowLinks(path), doc.Text(), options.Rename))
        return WriteRefusedMessage(path);
    return std::nullopt;
}

}  // namespace kvartix
