#pragma once

#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "serial/posix/PosixSys.h"

namespace kvartix::test {

// One device as a driver would show it, with what the far end and the line do.
struct FakeDevice {
    std::vector<std::uint8_t> FarEnd;  // sent by the far end, not yet read by the port
    std::vector<std::uint8_t> Line;    // what the port sent, flow characters included
    int Lines = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS;
    bool HasLines = true;     // TIOCMGET and friends work
    bool HasCounters = true;  // TIOCGICOUNT works
    LineCounters Counters;
    TermiosState Termios = [] {
        TermiosState t;
        t.Cflag = CS8 | CREAD;
        t.Speed = 9600;
        return t;
    }();
    std::function<void(TermiosState&)> Driver;   // what the driver makes of a TCSETS2
    std::function<void(int& lines)> LineDriver;  // what it makes of TIOCMBIS/TIOCMBIC
    std::size_t WriteChunk = SIZE_MAX;           // the most one write takes
    int EagainWrites = 0;                        // writes to refuse before taking any
    bool Unplugged = false;                      // reads and writes fail with EIO
    int ReadError = 0;                           // the next read fails with it, once
    bool Stopped = false;                        // TCOOFF
    long OutQueued = 0;                          // what TIOCOUTQ says the driver still holds
    bool Pty = false;                            // a pseudo-terminal's slave
    bool StopIgnored = false;  // a USB adapter: TCOOFF does not hold what is written
    bool Exclusive = false;                      // TIOCEXCL set and not cleared
    int LockHolder = -1;
    bool Denied = false;  // open fails with EACCES
    std::string Group = "dialout";
    std::vector<std::string> Calls;  // the line calls in order: flush, flow, lower, close
};

// A PosixSys with devices by path and descriptors of its own; thread-safe like the kernel.
class FakePosixSys final : public PosixSys {
  public:
    // Runs f on the device with the lock held and wakes a waiting poll.
    template <class F>
    auto With(const std::string& path, F f) {
        std::unique_lock lock(m_mutex);
        struct Notify {
            std::condition_variable& Cv;
            ~Notify() { Cv.notify_all(); }
        } notify{m_changed};
        return f(m_devices[path]);
    }
    void Add(const std::string& path) {
        With(path, [](FakeDevice&) {});
    }
    std::size_t OpenDescriptors() {
        std::lock_guard lock(m_mutex);
        return m_fds.size() + m_wakes.size();
    }
    std::string LockDir;  // empty: no lock files
    int CloseInterrupts = 0;
    int Polls = 0;  // guarded like the devices: read it through With  // closes that report EINTR
                    // (having closed, as Linux does)
    int Closes = 0;

    SysResult Open(const char* path, int) override {
        std::lock_guard lock(m_mutex);
        if (!m_devices.count(path)) return SysResult::Fail(ENOENT, "open");
        if (m_devices[path].Denied) return SysResult::Fail(EACCES, "open");
        m_fds[m_next] = path;
        return SysResult::Ok(m_next++);
    }
    SysResult Close(int fd) override {
        std::lock_guard lock(m_mutex);
        ++Closes;
        if (m_wakes.erase(fd) == 0) {
            auto it = m_fds.find(fd);
            if (it == m_fds.end()) return SysResult::Fail(EBADF, "close");
            FakeDevice& d = m_devices[it->second];
            if (d.LockHolder == fd) d.LockHolder = -1;
            d.Calls.push_back("close");
            m_fds.erase(it);
        }
        if (CloseInterrupts > 0) {
            --CloseInterrupts;
            return SysResult::Fail(EINTR, "close");
        }
        return SysResult::Ok();
    }
    SysResult Read(int fd, void* buffer, std::size_t count) override {
        std::lock_guard lock(m_mutex);
        if (auto w = m_wakes.find(fd); w != m_wakes.end()) {
            if (w->second == 0) return SysResult::Fail(EAGAIN, "read");
            *static_cast<std::uint64_t*>(buffer) = std::exchange(w->second, 0);
            return SysResult::Ok(8);
        }
        FakeDevice& d = Device(fd);
        if (d.Unplugged) return SysResult::Fail(EIO, "read");
        if (d.ReadError) return SysResult::Fail(std::exchange(d.ReadError, 0), "read");
        if (d.FarEnd.empty()) return SysResult::Fail(EAGAIN, "read");
        const std::size_t n = std::min(count, d.FarEnd.size());
        std::copy_n(d.FarEnd.begin(), n, static_cast<std::uint8_t*>(buffer));
        d.FarEnd.erase(d.FarEnd.begin(), d.FarEnd.begin() + static_cast<long>(n));
        return SysResult::Ok(static_cast<long>(n));
    }
    SysResult Write(int fd, const void* buffer, std::size_t count) override {
        std::lock_guard lock(m_mutex);
        if (auto w = m_wakes.find(fd); w != m_wakes.end()) {
            w->second += *static_cast<const std::uint64_t*>(buffer);
            m_changed.notify_all();
            return SysResult::Ok(8);
        }
        FakeDevice& d = Device(fd);
        if (d.Unplugged) return SysResult::Fail(EIO, "write");
        if (d.Stopped && !d.StopIgnored) return SysResult::Fail(EAGAIN, "write");
        if (d.EagainWrites > 0) {
            --d.EagainWrites;
            return SysResult::Fail(EAGAIN, "write");
        }
        const std::size_t n = std::min(count, d.WriteChunk);
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        d.Line.insert(d.Line.end(), p, p + n);
        m_changed.notify_all();
        return SysResult::Ok(static_cast<long>(n));
    }
    SysResult Poll(pollfd* fds, std::size_t count, std::int64_t timeoutUs) override {
        std::unique_lock lock(m_mutex);
        ++Polls;
        auto ready = [&] {
            int n = 0;
            for (std::size_t i = 0; i < count; ++i) {
                fds[i].revents = Events(fds[i].fd) & (fds[i].events | POLLHUP | POLLERR);
                n += fds[i].revents != 0;
            }
            return n;
        };
        if (timeoutUs < 0)
            m_changed.wait(lock, [&] { return ready() > 0; });
        else
            m_changed.wait_for(lock, std::chrono::microseconds(timeoutUs),
                               [&] { return ready() > 0; });
        return SysResult::Ok(ready());
    }
    SysResult Flock(int fd, int) override {
        std::lock_guard lock(m_mutex);
        FakeDevice& d = Device(fd);
        if (d.LockHolder >= 0 && d.LockHolder != fd) return SysResult::Fail(EWOULDBLOCK, "flock");
        d.LockHolder = fd;
        return SysResult::Ok();
    }
    SysResult EventFd() override {
        std::lock_guard lock(m_mutex);
        m_wakes[m_next] = 0;
        return SysResult::Ok(m_next++);
    }
    SysResult SetExclusive(int fd, bool on) override {
        std::lock_guard lock(m_mutex);
        Device(fd).Exclusive = on;
        return SysResult::Ok();
    }
    SysResult GetTermios(int fd, TermiosState& out) override {
        std::lock_guard lock(m_mutex);
        out = Device(fd).Termios;
        return SysResult::Ok();
    }
    SysResult SetTermios(int fd, const TermiosState& state) override {
        std::lock_guard lock(m_mutex);
        FakeDevice& d = Device(fd);
        d.Termios = state;
        if (d.Driver) d.Driver(d.Termios);
        return SysResult::Ok();
    }
    SysResult GetModemLines(int fd) override {
        std::lock_guard lock(m_mutex);
        FakeDevice& d = Device(fd);
        if (!d.HasLines) return SysResult::Fail(ENOTTY, "ioctl(TIOCMGET)");
        return SysResult::Ok(d.Lines);
    }
    SysResult RaiseModemLines(int fd, int lines) override { return ChangeLines(fd, lines, true); }
    SysResult LowerModemLines(int fd, int lines) override { return ChangeLines(fd, lines, false); }
    SysResult GetCounters(int fd, LineCounters& out) override {
        std::lock_guard lock(m_mutex);
        FakeDevice& d = Device(fd);
        if (!d.HasCounters) return SysResult::Fail(ENOTTY, "ioctl(TIOCGICOUNT)");
        out = d.Counters;
        return SysResult::Ok();
    }
    std::string LockDirectory() override { return LockDir; }
    std::string DeviceGroup(const char* path) override {
        std::lock_guard lock(m_mutex);
        return m_devices[path].Group;
    }
    SysResult DiscardOutput(int fd) override {
        std::lock_guard lock(m_mutex);
        Device(fd).Calls.push_back("flush");
        return SysResult::Ok();
    }
    SysResult OutputQueued(int fd) override {
        std::lock_guard lock(m_mutex);
        return SysResult::Ok(Device(fd).OutQueued);
    }
    bool IsPseudoTerminal(int fd) override {
        std::lock_guard lock(m_mutex);
        return Device(fd).Pty;
    }
    SysResult Flow(int fd, int action) override {
        std::lock_guard lock(m_mutex);
        FakeDevice& d = Device(fd);
        d.Calls.push_back("flow " + std::to_string(action));
        switch (action) {
            case TCOOFF:
                d.Stopped = true;
                break;
            case TCOON:
                d.Stopped = false;
                break;
            case TCIOFF:
                d.Line.push_back(d.Termios.Cc[VSTOP]);
                break;
            case TCION:
                d.Line.push_back(d.Termios.Cc[VSTART]);
                break;
        }
        m_changed.notify_all();
        return SysResult::Ok();
    }

  private:
    FakeDevice& Device(int fd) { return m_devices[m_fds.at(fd)]; }
    short Events(int fd) {
        if (auto w = m_wakes.find(fd); w != m_wakes.end()) return w->second ? POLLIN : 0;
        auto it = m_fds.find(fd);
        if (it == m_fds.end()) return POLLNVAL;
        const FakeDevice& d = m_devices[it->second];
        if (d.Unplugged) return POLLHUP | POLLERR;
        return static_cast<short>((d.FarEnd.empty() ? 0 : POLLIN) | (d.Stopped && !d.StopIgnored ? 0 : POLLOUT));
    }
    SysResult ChangeLines(int fd, int lines, bool raise) {
        std::lock_guard lock(m_mutex);
        FakeDevice& d = Device(fd);
        if (!d.HasLines) return SysResult::Fail(ENOTTY, "ioctl(TIOCMBIS)");
        if (!raise) d.Calls.push_back("lower");
        int next = raise ? d.Lines | lines : d.Lines & ~lines;
        if (d.LineDriver) d.LineDriver(next);
        d.Lines = next;
        return SysResult::Ok();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::string, FakeDevice> m_devices;
    std::map<int, std::string> m_fds;
    std::map<int, std::uint64_t> m_wakes;
    int m_next = 100;
};

}  // namespace kvartix::test
