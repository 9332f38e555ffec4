// The settings file's reads and writes on POSIX systems (the build takes this file or
// app/IniFileWin32.cpp): through the system calls, keeping owner, group and mode.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "app/IniFileSystem.h"

namespace kvartix::ini_file {

namespace fs = std::filesystem;

int ProcessId() {
    return static_cast<int>(::getpid());
}

namespace {

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
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxIniFileSize) return TooLarge();
    return {};
}

}  // namespace

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
    if (read.Problem.empty() && size > kMaxIniFileSize) read.Problem = TooLarge();
    if (read.Problem.empty()) read.Doc = IniDocument::Parse(std::string_view(bytes).substr(0, size));
}

namespace {

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

}  // namespace

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

}  // namespace kvartix::ini_file
