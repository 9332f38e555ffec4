// The system calls of the posix backend on Linux. The only file that sees the kernel's own
// termios2 record: <asm/termbits.h> defines a struct termios and flag macros of its own and so
// cannot share a translation unit with <termios.h>.
#include <asm/termbits.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "serial/posix/PosixSys.h"

namespace kvartix {
namespace {

SysResult Result(long value, const char* call) {
    return value < 0 ? SysResult::Fail(errno, call) : SysResult::Ok(value);
}

class LinuxSys final : public PosixSys {
  public:
    SysResult Open(const char* path, int flags) override {
        return Result(::open(path, flags), "open");
    }
    SysResult Close(int fd) override { return Result(::close(fd), "close"); }
    SysResult Read(int fd, void* buffer, std::size_t count) override {
        return Result(::read(fd, buffer, count), "read");
    }
    SysResult Write(int fd, const void* buffer, std::size_t count) override {
        return Result(::write(fd, buffer, count), "write");
    }
    SysResult Poll(pollfd* fds, std::size_t count, std::int64_t timeoutUs) override {
        if (timeoutUs < 0) return Result(::ppoll(fds, count, nullptr, nullptr), "ppoll");
        const timespec limit{static_cast<time_t>(timeoutUs / 1'000'000),
                             static_cast<long>(timeoutUs % 1'000'000 * 1000)};
        return Result(::ppoll(fds, count, &limit, nullptr), "ppoll");
    }
    SysResult Flock(int fd, int operation) override {
        return Result(::flock(fd, operation), "flock");
    }
    SysResult EventFd() override {
        return Result(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), "eventfd");
    }

    SysResult SetExclusive(int fd, bool on) override {
        return on ? Result(::ioctl(fd, TIOCEXCL), "ioctl(TIOCEXCL)")
                  : Result(::ioctl(fd, TIOCNXCL), "ioctl(TIOCNXCL)");
    }

    SysResult GetTermios(int fd, TermiosState& out) override {
        termios2 t{};
        if (::ioctl(fd, TCGETS2, &t) < 0) return SysResult::Fail(errno, "ioctl(TCGETS2)");
        out.Iflag = t.c_iflag;
        out.Oflag = t.c_oflag;
        out.Cflag = t.c_cflag & ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
        out.Lflag = t.c_lflag;
        out.Cc.fill(0);
        std::copy_n(t.c_cc, std::min<std::size_t>(NCCS, out.Cc.size()), out.Cc.begin());
        out.Speed = t.c_ospeed;
        return SysResult::Ok();
    }

    // Both directions at the one rate, given as a number whatever it is.
    SysResult SetTermios(int fd, const TermiosState& s) override {
        termios2 t{};
        t.c_iflag = s.Iflag;
        t.c_oflag = s.Oflag;
        t.c_cflag = (s.Cflag & ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT))) | BOTHER;
        t.c_lflag = s.Lflag;
        std::copy_n(s.Cc.begin(), std::min<std::size_t>(NCCS, s.Cc.size()), t.c_cc);
        t.c_ispeed = t.c_ospeed = s.Speed;
        return Result(::ioctl(fd, TCSETS2, &t), "ioctl(TCSETS2)");
    }

    SysResult GetModemLines(int fd) override {
        int lines = 0;
        if (::ioctl(fd, TIOCMGET, &lines) < 0) return SysResult::Fail(errno, "ioctl(TIOCMGET)");
        return SysResult::Ok(lines);
    }
    SysResult RaiseModemLines(int fd, int lines) override {
        return Result(::ioctl(fd, TIOCMBIS, &lines), "ioctl(TIOCMBIS)");
    }
    SysResult LowerModemLines(int fd, int lines) override {
        return Result(::ioctl(fd, TIOCMBIC, &lines), "ioctl(TIOCMBIC)");
    }

    SysResult GetCounters(int fd, LineCounters& out) override {
        serial_icounter_struct c{};
        if (::ioctl(fd, TIOCGICOUNT, &c) < 0) return SysResult::Fail(errno, "ioctl(TIOCGICOUNT)");
        out = LineCounters{c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
        return SysResult::Ok();
    }

    SysResult Flow(int fd, int action) override {
        return Result(::ioctl(fd, TCXONC, action), "ioctl(TCXONC)");
    }
    SysResult DiscardOutput(int fd) override {
        return Result(::ioctl(fd, TCFLSH, TCOFLUSH), "ioctl(TCFLSH)");
    }

    SysResult OutputQueued(int fd) override {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) < 0) return SysResult::Fail(errno, "ioctl(TIOCOUTQ)");
        return SysResult::Ok(queued);
    }

    bool IsPseudoTerminal(int fd) override {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
        // Unix98 slaves (136..143) and the old BSD ones (3).
        const unsigned m = major(st.st_rdev);
        return (m >= 136 && m <= 143) || m == 3;
    }

    std::string LockDirectory() override { return "/run/lock"; }
    // Only a group whose members the mode lets read and write, and never root's: joining
    // it must be what opens the device.
    std::string DeviceGroup(const char* path) override {
        struct stat st {};
        if (::stat(path, &st) != 0) return {};
        constexpr mode_t readWrite = S_IRGRP | S_IWGRP;
        if (st.st_gid == 0 || (st.st_mode & readWrite) != readWrite) return {};
        std::vector<char> buffer(4096);
        group g{};
        group* found = nullptr;
        if (::getgrgid_r(st.st_gid, &g, buffer.data(), buffer.size(), &found) != 0 || !found)
            return std::to_string(st.st_gid);
        return found->gr_name;
    }
};

}  // namespace

PosixSys& SystemCalls() {
    static LinuxSys sys;
    return sys;
}

}  // namespace kvartix
