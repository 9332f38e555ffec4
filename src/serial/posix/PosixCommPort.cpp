#include "serial/posix/PosixCommPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "serial/posix/PosixLine.h"

namespace kvartix {
namespace {

// A driver without modem-control lines answers their calls so.
bool NoLines(const SysResult& r) {
    return r.Error == ENOTTY || r.Error == EINVAL;
}

}  // namespace

std::string Explain(const std::string& path, const OpenRefusal& why) {
    if (why.LockPid)
        return path + " is locked by process " + std::to_string(why.LockPid) + " (" + why.LockFile +
               ")";
    if (why.Error == EACCES || why.Error == EPERM) {
        std::string text = "permission denied for " + path;
        if (!why.Group.empty())
            text += "; members of the group '" + why.Group + "' may open it (sudo usermod -aG " +
                    why.Group + " $USER, then log in again)";
        return text;
    }
    if (why.Error == EBUSY || why.Error == EWOULDBLOCK)
        return path + " is in use by another program";
    // Not there: the message says as much. Anything else is worth its name.
    if (why.Error != 0 && why.Error != ENOENT && why.Error != ENODEV && why.Error != ENXIO)
        return path + ": " + std::strerror(why.Error);
    return {};
}

// The lock file is looked at before the open: opening raises DTR and RTS under the holder.
UniqueFd PosixCommPort::OpenLocked(PosixSys& sys, const std::string& path, OpenRefusal* why) {
    OpenRefusal ignored;
    OpenRefusal& w = why ? *why : ignored;
    const std::string dir = sys.LockDirectory();
    if (const pid_t pid = UucpLock::Holder(dir, path)) {
        w.Error = EWOULDBLOCK;
        w.LockPid = pid;
        w.LockFile = UucpLock::FileFor(dir, path);
        return {};
    }
    const SysResult fd = sys.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (!fd) {
        w.Error = fd.Error;
        if (fd.Error == EACCES || fd.Error == EPERM) w.Group = sys.DeviceGroup(path.c_str());
        return {};
    }
    UniqueFd device(sys, static_cast<int>(fd.Value));
    if (const SysResult locked = sys.Flock(device.Get(), LOCK_EX | LOCK_NB); !locked) {
        w.Error = locked.Error;
        return {};
    }
    return device;
}

std::unique_ptr<PosixCommPort> PosixCommPort::Open(PosixSys& sys, const std::string& path,
                                                   OpenRefusal* why) {
    UniqueFd device = OpenLocked(sys, path, why);
    if (!device) return nullptr;
    UucpLock lock;
    pid_t holder = 0;
    const std::string dir = sys.LockDirectory();
    if (!lock.Take(dir, path, holder)) {  // taken since the look
        if (why) *why = OpenRefusal{EWOULDBLOCK, UucpLock::FileFor(dir, path), holder, {}};
        return nullptr;
    }
    // A device that is no terminal has no exclusive mode; the lock still holds.
    sys.SetExclusive(device.Get(), true);
    const SysResult wake = sys.EventFd();
    if (!wake) {
        if (why) *why = OpenRefusal{wake.Error, {}, 0, {}};
        return nullptr;
    }
    std::unique_ptr<PosixCommPort> port(new PosixCommPort(
        sys, std::move(device), UniqueFd(sys, static_cast<int>(wake.Value)), std::move(lock)));
    port->TakeLine();
    port->m_queueTold = !sys.IsPseudoTerminal(port->m_device.Get());
    port->m_thread = std::thread(&PosixCommPort::Run, port.get());
    return port;
}

PosixCommPort::PosixCommPort(PosixSys& sys, UniqueFd device, UniqueFd wake, UucpLock lock)
    : m_sys(sys), m_device(std::move(device)), m_wake(std::move(wake)), m_lock(std::move(lock)) {}

PosixCommPort::~PosixCommPort() {
    CloseHandle();
}

// Raw at once, keeping the rate and frame the device had, so that nothing arriving before
// the configuration is echoed or translated. Counters from here on are this session's.
void PosixCommPort::TakeLine() {
    TermiosState t;
    if (!m_sys.GetTermios(m_device.Get(), t)) return;
    LineConfig c;
    ConfigFromTermios(t, c);
    c.fOutX = c.fInX = false;
    if (c.BaudRate == 0) c.BaudRate = 9600;  // B0 is a hang-up request, not a rate
    TermiosState raw = t;
    if (TermiosFor(c, raw) && m_sys.SetTermios(m_device.Get(), raw))
        m_sys.GetTermios(m_device.Get(), t);
    m_termios = t;
    ConfigFromTermios(t, m_config);
    LineCounters counters;
    if (m_sys.GetCounters(m_device.Get(), counters)) m_counters = counters;
}

bool PosixCommPort::DoGetCommState(LineConfig& config) {
    if (!m_termios) return false;
    std::lock_guard lock(m_mutex);
    config = m_config;
    return true;
}

// Read back after setting: a driver that silently dropped part of it has refused it, and
// the line goes back to what it was.
bool PosixCommPort::DoSetCommState(const LineConfig& config) {
    if (!m_termios) return false;
    TermiosState wanted = *m_termios;
    if (!TermiosFor(config, wanted)) return false;
    const int fd = m_device.Get();
    TermiosState got;
    if (!m_sys.SetTermios(fd, wanted) || !m_sys.GetTermios(fd, got) || !DriverKept(wanted, got) ||
        !DriveLines(config)) {
        m_sys.SetTermios(fd, *m_termios);
        return false;
    }
    m_termios = got;
    {
        std::lock_guard lock(m_mutex);
        m_config = config;
        m_rx.Configure(config);
        m_rtsHigh = config.fRtsControl != RTS_CONTROL_DISABLE;
    }
    Wake();
    return true;
}

// DTR and RTS as the record says, the handshake starting ready. Checked by reading the
// lines back where the driver has them.
bool PosixCommPort::DriveLines(const LineConfig& c) {
    const int fd = m_device.Get();
    const bool dtr = c.fDtrControl == DTR_CONTROL_ENABLE;
    const bool rts = c.fRtsControl != RTS_CONTROL_DISABLE;
    const int raise = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    const int lower = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
    for (const SysResult& r : {raise ? m_sys.RaiseModemLines(fd, raise) : SysResult::Ok(),
                               lower ? m_sys.LowerModemLines(fd, lower) : SysResult::Ok()}) {
        if (!r && !NoLines(r)) return false;
    }
    const SysResult lines = m_sys.GetModemLines(fd);
    if (!lines) return NoLines(lines);
    return (lines.Value & (TIOCM_DTR | TIOCM_RTS)) == raise;
}

bool PosixCommPort::DoSetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) {
    if (rxQueue == 0 || txQueue == 0) return false;
    {
        std::lock_guard lock(m_mutex);
        m_rx.Resize(rxQueue);
        if (txQueue != m_tx.Ring.size()) {
            TransmitQueue resized;
            resized.Ring.resize(txQueue);
            while (m_tx.Size > 0 && resized.Free() > 0) {
                const std::size_t n = std::min(m_tx.Contiguous(), resized.Free());
                resized.Put(m_tx.Front(), n);
                m_tx.Drop(n);
            }
            m_tx = std::move(resized);
        }
        if (m_write) FillQueue();
    }
    Wake();
    return true;
}

// Reads always return at once with what the queue holds and writes have no time-out;
// any other time-outs are beyond this driver.
bool PosixCommPort::DoSetCommTimeouts(const CommTimeouts& t) {
    return t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
           t.ReadTotalTimeoutConstant == 0 && t.WriteTotalTimeoutMultiplier == 0 &&
           t.WriteTotalTimeoutConstant == 0;
}

// Nothing waits for line events here.
bool PosixCommPort::DoSetCommMask(std::uint32_t) {
    return true;
}

IoResult PosixCommPort::DoReadFile(TransferRecord&, std::uint8_t* buffer, std::uint32_t count,
                                   std::uint32_t& got) {
    bool replan = false;
    {
        std::lock_guard lock(m_mutex);
        if (std::exchange(m_readFailed, false)) return IoResult::Failed;
        const bool full = m_rx.Free() == 0;
        const bool held = m_rx.HoldsOutput();
        got = m_rx.Read(buffer, count);
        // Drained below XonLim: the Xon goes out now, not a thread switch later.
        if (got > 0) ApplyLineActions();
        // The thread is told only what changes its plan: room for input it left to the
        // kernel, or output our own Xoff held that may go on. A wake-up costs more than the read.
        replan = got > 0 && (full || (held && !m_rx.HoldsOutput()));
    }
    if (replan) Wake();
    return IoResult::Done;
}

// Like a driver that queues every request: the bytes go into the transmit queue as it has
// room, and the completion query tells when all of them are there.
IoResult PosixCommPort::DoWriteFile(TransferRecord& transfer, const std::uint8_t* buffer,
                                    std::uint32_t count, std::uint32_t& /*written*/) {
    bool idle = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_write) return IoResult::Failed;
        if (transfer.Event) transfer.Event->Reset();
        idle = !Writing();  // else the thread comes back for the queue by itself
        m_write = PendingWrite{buffer, count, 0, false, &transfer};
        FillQueue();
    }
    if (idle) Wake();
    return IoResult::Pending;
}

IoResult PosixCommPort::DoGetOverlappedResult(TransferRecord&, std::uint32_t& transferred) {
    std::lock_guard lock(m_mutex);
    if (!m_write) return IoResult::Failed;
    if (m_write->Failed) {
        m_write.reset();
        return IoResult::Failed;
    }
    if (m_write->Done < m_write->Size) return IoResult::Pending;
    transferred = m_write->Size;
    m_write.reset();
    return IoResult::Done;
}

bool PosixCommPort::DoClearCommError(std::uint32_t& errors, CommStatus& status) {
    LineConfig config;
    {
        std::lock_guard lock(m_mutex);
        errors = m_rx.TakeErrors();
        status.Flags = m_rx.HoldFlags();
        status.InQueue = m_rx.Size();
        status.OutQueue = static_cast<std::uint32_t>(m_tx.Size) +
                          (m_write ? m_write->Size - m_write->Done : 0);
        config = m_config;
    }
    const int fd = m_device.Get();
    // What the kernel still holds has not gone either.
    if (const SysResult queued = m_sys.OutputQueued(fd); queued && queued.Value > 0)
        status.OutQueue += static_cast<std::uint32_t>(queued.Value);
    LineCounters now;
    if (m_sys.GetCounters(fd, now)) {
        if (m_counters) errors |= ErrorsFromCounters(*m_counters, now);
        m_counters = now;
    }
    if (config.fOutxCtsFlow || config.fOutxDsrFlow) {
        // A driver without lines holds nothing on them.
        const SysResult lines = m_sys.GetModemLines(fd);
        if (lines && config.fOutxCtsFlow && !(lines.Value & TIOCM_CTS)) status.Flags |= kCtsHold;
        if (lines && config.fOutxDsrFlow && !(lines.Value & TIOCM_DSR)) status.Flags |= kDsrHold;
    }
    return true;
}

bool PosixCommPort::DoGetCommModemStatus(std::uint32_t& modemStatus) {
    const SysResult lines = m_sys.GetModemLines(m_device.Get());
    if (!lines) return false;
    modemStatus = ModemStatusFromLines(lines.Value);
    return true;
}

// What the kernel still holds is thrown away while the output is still held: a close would
// otherwise wait until it drained (up to its 30 s time-out at slow rates) and send what the
// far end refused with Xoff. DTR and RTS go low before the close, whatever HUPCL does: the
// line says the session is over even on a driver that keeps its lines across closes.
bool PosixCommPort::DoCloseHandle() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    Wake();
    m_thread.join();  // from here on the fields are this thread's alone
    m_tx.Clear();
    const int fd = m_device.Get();
    m_sys.DiscardOutput(fd);
    if (m_outputStopped) m_sys.Flow(fd, TCOON);  // the next user of the device starts unheld
    m_sys.LowerModemLines(fd, TIOCM_DTR | TIOCM_RTS);
    // A pseudo-terminal's slave keeps the flag while its master stays open.
    m_sys.SetExclusive(fd, false);
    m_wake.Reset();
    const bool closed = static_cast<bool>(m_device.Reset());
    m_lock.Release();
    return closed;
}

// What the kernel reports it still holds may leave meanwhile: the count errs high, never low.
bool PosixCommPort::DoTransmitXon() {
    bool queued = false;
    {
        std::lock_guard lock(m_mutex);
        queued = m_rx.RequestXon();
    }
    if (queued) Wake();
    return queued;
}

std::optional<std::uint32_t> PosixCommPort::DoPurgeOutput() {
    std::lock_guard lock(m_mutex);
    auto discarded = static_cast<std::uint32_t>(m_tx.Size);
    m_tx.Clear();
    if (m_write && !m_write->Failed && m_write->Done < m_write->Size) {
        discarded += m_write->Size - m_write->Done;
        m_write->Done = m_write->Size;
        Complete(false);
    }
    // What a pseudo-terminal holds would go unseen: it is let through instead, as a line lets
    // its last characters through.
    const int fd = m_device.Get();
    if (m_sys.IsPseudoTerminal(fd)) return discarded;
    const SysResult queued = m_sys.OutputQueued(fd);
    m_sys.DiscardOutput(fd);
    if (queued && queued.Value > 0) discarded += static_cast<std::uint32_t>(queued.Value);
    return discarded;
}

void PosixCommPort::SetLeadUs(double us) {
    {
        std::lock_guard lock(m_mutex);
        m_leadUs = us;
    }
    Wake();
}

void PosixCommPort::SetWakeMarginUs(double us) {
    {
        std::lock_guard lock(m_mutex);
        m_wakeMarginUs = us;
    }
    Wake();
}

PosixCommPort::Traffic PosixCommPort::TrafficSoFar() const {
    std::lock_guard lock(m_mutex);
    return m_traffic;
}

void PosixCommPort::Wake() {
    const std::uint64_t one = 1;
    m_sys.Write(m_wake.Get(), &one, sizeof one);
}

}  // namespace kvartix
