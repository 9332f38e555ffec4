#pragma once

#include <poll.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kvartix {

// The value of one system call, or the errno it failed with and the call's name.
struct SysResult {
    long Value = 0;
    int Error = 0;          // errno; 0 on success
    const char* Call = "";  // the failing call, for messages and tests

    explicit operator bool() const { return Error == 0; }
    static SysResult Ok(long value = 0) { return {value, 0, ""}; }
    static SysResult Fail(int error, const char* call) { return {-1, error, call}; }
};

// A terminal's configuration as the kernel's termios2 record holds it, with the bit rate as a
// plain number in both directions: the system-call layer sets and strips the rate bits of
// Cflag itself, so nothing else depends on how a kernel encodes an arbitrary rate.
struct TermiosState {
    std::uint32_t Iflag = 0;
    std::uint32_t Oflag = 0;
    std::uint32_t Cflag = 0;
    std::uint32_t Lflag = 0;
    std::array<std::uint8_t, 32> Cc{};  // indexed by VMIN, VTIME, VSTART, VSTOP, ...
    std::uint32_t Speed = 0;            // bit/s

    bool operator==(const TermiosState&) const = default;
};

// The error counters of TIOCGICOUNT that the port reports.
struct LineCounters {
    int Frame = 0;
    int Overrun = 0;
    int Parity = 0;
    int Brk = 0;
    int BufOverrun = 0;

    bool operator==(const LineCounters&) const = default;
};

// The handful of system calls the posix backend makes, one method each, so that a test can
// play a driver with modem lines, error counters, EAGAIN, partial writes and the EIO of an
// unplugged adapter. Implementations must allow calls from several threads at once on the
// same descriptor, as the kernel does.
class PosixSys {
  public:
    virtual ~PosixSys() = default;

    virtual SysResult Open(const char* path, int flags) = 0;
    // Never to be retried on EINTR: the descriptor is gone either way.
    virtual SysResult Close(int fd) = 0;
    virtual SysResult Read(int fd, void* buffer, std::size_t count) = 0;
    virtual SysResult Write(int fd, const void* buffer, std::size_t count) = 0;
    // Waits at most timeoutUs microseconds (negative: without limit); paced output is due to
    // a fraction of a millisecond.
    virtual SysResult Poll(pollfd* fds, std::size_t count, std::int64_t timeoutUs) = 0;
    virtual SysResult Flock(int fd, int operation) = 0;
    // A counter descriptor that wakes a poll: write 8 bytes to signal, read 8 to clear.
    virtual SysResult EventFd() = 0;

    virtual SysResult SetExclusive(int fd, bool on) = 0;                  // TIOCEXCL, TIOCNXCL
    virtual SysResult GetTermios(int fd, TermiosState& out) = 0;          // TCGETS2
    virtual SysResult SetTermios(int fd, const TermiosState& state) = 0;  // TCSETS2
    virtual SysResult GetModemLines(int fd) = 0;                          // TIOCMGET: Value
    virtual SysResult RaiseModemLines(int fd, int lines) = 0;             // TIOCMBIS
    virtual SysResult LowerModemLines(int fd, int lines) = 0;             // TIOCMBIC
    virtual SysResult GetCounters(int fd, LineCounters& out) = 0;         // TIOCGICOUNT
    virtual SysResult Flow(int fd, int action) = 0;                       // TCXONC: TCOOFF...
    virtual SysResult DiscardOutput(int fd) = 0;                          // TCFLSH TCOFLUSH
    // Characters the driver holds and has not yet sent (TIOCOUTQ): Value. A pseudo-terminal
    // reads 0 whatever its far end has not taken.
    virtual SysResult OutputQueued(int fd) = 0;
    // A pseudo-terminal's slave: what it holds for its far end can be neither counted nor
    // thrown away knowingly (a TCOFLUSH empties the far end's input unseen).
    virtual bool IsPseudoTerminal(int fd) = 0;

    // Where terminal programs keep their UUCP lock files; empty for none.
    virtual std::string LockDirectory() = 0;
    // The name of the group that owns a device file, or empty.
    virtual std::string DeviceGroup(const char* path) = 0;
};

// The real calls.
PosixSys& SystemCalls();

}  // namespace kvartix
