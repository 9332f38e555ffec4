#include "serial/posix/UucpLock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

namespace kvartix {
namespace {

// The PID a lock file names: ten characters of text as is customary, or 0.
pid_t ReadPid(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char text[32] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return 0;
    const long pid = std::strtol(text, nullptr, 10);
    return pid > 0 && pid < (1L << 30) ? static_cast<pid_t>(pid) : 0;
}

bool Running(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

}  // namespace

UucpLock::UucpLock(UucpLock&& other) noexcept : m_file(std::exchange(other.m_file, {})) {}

UucpLock& UucpLock::operator=(UucpLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_file = std::exchange(other.m_file, {});
    }
    return *this;
}

// A link such as /dev/serial/by-id/... locks the device it names, as other programs see it.
std::string UucpLock::FileFor(const std::string& dir, const std::string& devicePath) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(devicePath, ec);
    std::string name = ec ? devicePath : real.string();
    if (name.rfind("/dev/", 0) == 0)
        name.erase(0, 5);
    else if (const auto slash = name.find_last_of('/'); slash != std::string::npos)
        name.erase(0, slash + 1);
    for (char& c : name)
        if (c == '/') c = '_';
    return dir + "/LCK.." + name;
}

pid_t UucpLock::Holder(const std::string& dir, const std::string& devicePath) {
    if (dir.empty()) return 0;
    const pid_t pid = ReadPid(FileFor(dir, devicePath));
    return Running(pid) ? pid : 0;
}

bool UucpLock::Take(const std::string& dir, const std::string& devicePath, pid_t& holder) {
    holder = 0;
    Release();
    if (dir.empty()) return true;
    const std::string file = FileFor(dir, devicePath);
    // Twice at most: once more after a stale lock was removed.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            char text[16];
            const int n = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
            const bool written = ::write(fd, text, static_cast<std::size_t>(n)) == n;
            ::close(fd);
            if (!written) {
                ::unlink(file.c_str());
                return true;
            }
            m_file = file;
            return true;
        }
        if (errno != EEXIST) return true;  // no lock directory, or not ours to write
        const pid_t pid = ReadPid(file);
        if (Running(pid)) {
            holder = pid;
            return false;
        }
        ::unlink(file.c_str());
    }
    return true;
}

void UucpLock::Release() {
    if (m_file.empty()) return;
    if (ReadPid(m_file) == ::getpid()) ::unlink(m_file.c_str());
    m_file.clear();
}

}  // namespace kvartix
