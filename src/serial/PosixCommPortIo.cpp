// The I/O thread of the posix backend.
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "serial/PosixCommPort.h"

namespace kvartix {
namespace {

constexpr std::size_t kReadChunk = 65536;
// How often a writer held by DSR looks at the line again: the kernel has no event to wait for.
constexpr int kLinePollMs = 10;

bool Transient(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

void PosixCommPort::Run() {
    std::unique_lock lock(m_mutex);
    while (!m_stop && !m_gone) {
        ApplyLineActions();
        const bool writing = m_write && !m_write->Failed && m_write->Done < m_write->Size;
        const bool dsrHeld = writing && DsrHolds();
        const bool wantOut = writing && !dsrHeld && !m_rx.HoldsOutput();
        const auto events = static_cast<short>(POLLIN | (wantOut ? POLLOUT : 0));
        std::array<pollfd, 2> fds{{{m_device.Get(), events, 0}, {m_wake.Get(), POLLIN, 0}}};
        lock.unlock();
        const SysResult polled = m_sys.Poll(fds.data(), fds.size(), dsrHeld ? kLinePollMs : -1);
        lock.lock();
        if (!polled) {
            if (!Transient(polled.Error)) m_gone = true;
            continue;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            m_sys.Read(m_wake.Get(), &count, sizeof count);
        }
        const short device = fds[0].revents;
        if (device & POLLIN) {
            ReadLine();
            ApplyLineActions();  // an Xoff is on its way before anyone sees the characters
        }
        if (m_gone || m_stop) break;
        if (device & (POLLHUP | POLLERR | POLLNVAL) && !(device & POLLIN)) {
            m_gone = true;
            break;
        }
        if (device & POLLOUT) WriteLine();
    }
}

// Our Xon or Xoff first, ahead of queued output; then output stopped or resumed to match
// the Xoff state; then RTS for the handshake.
void PosixCommPort::ApplyLineActions() {
    const int fd = m_device.Get();
    if (const auto& control = m_rx.Control()) {
        // A driver that cannot send ahead of stopped output (a pseudo-terminal) drops the
        // character while TCOOFF holds, so the stop is lifted for it and put back below;
        // the lift lasts two calls.
        if (m_outputStopped) {
            m_sys.Flow(fd, TCOON);
            m_outputStopped = false;
        }
        // TCIOFF and TCION send STOP and START, which the configuration set to our characters.
        m_sys.Flow(fd, *control == m_config.XoffChar ? TCIOFF : TCION);
        m_rx.ControlSent();
        ++m_traffic.FlowSent;
    }
    const bool hold = m_rx.HoldsOutput();
    if (hold != m_outputStopped) {
        m_sys.Flow(fd, hold ? TCOOFF : TCOON);
        m_outputStopped = hold;
    }
    if (m_config.fRtsControl == RTS_CONTROL_HANDSHAKE && m_rx.RtsReady() != m_rtsHigh) {
        m_rtsHigh = m_rx.RtsReady();
        if (m_rtsHigh)
            m_sys.RaiseModemLines(fd, TIOCM_RTS);
        else
            m_sys.LowerModemLines(fd, TIOCM_RTS);
    }
}

// DSR output flow: the writer waits while DSR is low. A driver without lines never holds.
bool PosixCommPort::DsrHolds() {
    if (!m_config.fOutxDsrFlow) return false;
    const SysResult lines = m_sys.GetModemLines(m_device.Get());
    return lines && !(lines.Value & TIOCM_DSR);
}

void PosixCommPort::ReadLine() {
    std::array<std::uint8_t, kReadChunk> buffer;
    const SysResult r = m_sys.Read(m_device.Get(), buffer.data(), buffer.size());
    if (!r) {
        if (!Transient(r.Error)) m_gone = true;  // EIO, ENXIO, ENODEV: the device went away
        return;
    }
    if (r.Value == 0) {  // with VMIN 1 only a hang-up reads as end of file
        m_gone = true;
        return;
    }
    m_traffic.Received += static_cast<std::uint64_t>(r.Value);
    m_rx.Receive(buffer.data(), static_cast<std::size_t>(r.Value));
}

void PosixCommPort::WriteLine() {
    if (!m_write || m_write->Failed || m_write->Done >= m_write->Size) return;
    const SysResult r =
        m_sys.Write(m_device.Get(), m_write->Data + m_write->Done, m_write->Size - m_write->Done);
    if (!r) {
        if (Transient(r.Error)) return;
        if (r.Error == EIO || r.Error == ENXIO || r.Error == ENODEV)
            m_gone = true;
        else
            Complete(true);
        return;
    }
    m_write->Done += static_cast<std::uint32_t>(r.Value);
    m_traffic.Sent += static_cast<std::uint64_t>(r.Value);
    if (m_write->Done == m_write->Size) Complete(false);
}

// The event tells a waiting caller; the completion query tells the engine.
void PosixCommPort::Complete(bool failed) {
    m_write->Failed = failed;
    if (m_write->Transfer && m_write->Transfer->Event) m_write->Transfer->Event->Set();
}

}  // namespace kvartix
