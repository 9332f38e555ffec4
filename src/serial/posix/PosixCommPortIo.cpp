// The I/O thread of the posix backend.
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdint>
#include <utility>

#include "serial/posix/PosixCommPort.h"

namespace kvartix {
namespace {

constexpr std::size_t kReadChunk = 65536;
// How often a writer held by DSR looks at the line again: the kernel has no event to wait for.
constexpr std::int64_t kLinePollUs = 10'000;
// The thread gathers the line's work: up to 20 ms of characters per wake-up instead of one
// wake-up for every few, never more than half the 4 KB a serial driver buffers each way (the
// bound at high rates), so that many ports in one process stay cheap.
constexpr std::int64_t kRestUs = 20'000;
constexpr double kKernelBufferChars = 4096;

bool Transient(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// An unplugged adapter, a closed far end: every other error is one call's failure.
bool DeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

std::int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Lateness is followed as a round-trip time is (RFC 6298): a running mean and deviation,
// their sum with four deviations the allowance. One stall is forgotten within some tens of
// wake-ups; a busy machine's spread keeps the allowance wide.
constexpr double kLateGain = 1.0 / 8;
constexpr double kSpreadGain = 1.0 / 4;
// Output due this soon after a timed wake for input goes with it (at most a quarter of the
// lead): one wake-up serves both.
constexpr std::int64_t kMergeUs = 1'500;

}  // namespace

// Input and output keep separate times: input is read after a short gather, and always
// before anything is handed over, so that a far end's Xoff stops us before the next piece.
void PosixCommPort::Run() {
    std::unique_lock lock(m_mutex);
    bool rested = false;  // the last poll slept its time out: what it waited for is due now
    std::int64_t restedUntil = 0;
    while (!m_stop && !IsGone()) {
        ApplyLineActions();
        const std::int64_t now = NowUs();
        if (rested) {
            const auto late = static_cast<double>(std::max<std::int64_t>(now - restedUntil, 0));
            m_lateSpreadUs += (std::abs(late - m_lateMeanUs) - m_lateSpreadUs) * kSpreadGain;
            m_lateMeanUs += (late - m_lateMeanUs) * kLateGain;
        }
        const bool writing = Writing();
        const bool dsrHeld = writing && DsrHolds();
        const bool wantOut = writing && !dsrHeld && !m_rx.HoldsOutput();
        std::int64_t due = dsrHeld ? now + kLinePollUs : INT64_MAX;
        short events = 0;
        if (wantOut) {
            const std::int64_t ready = OutputDueUs();
            // A timed wake for input tops the lead up too when that is due soon.
            const auto merge = std::min(kMergeUs, static_cast<std::int64_t>(LeadUs() / 4));
            if (ready <= now || (rested && now >= m_inputRestUntilUs && ready <= now + merge))
                events |= POLLOUT;
            else
                due = std::min(due, ready);
        }
        // A full queue leaves the rest with the kernel, whose buffer is further room; the
        // engine's next read wakes the thread.
        const bool room = m_rx.Free() > 0;
        if (room && (now >= m_inputRestUntilUs || (events & POLLOUT)))
            events |= POLLIN;
        else if (room)
            due = std::min(due, m_inputRestUntilUs);
        std::array<pollfd, 2> fds{{{m_device.Get(), events, 0}, {m_wake.Get(), POLLIN, 0}}};
        const bool tried = std::exchange(rested, false) && events;
        if (tried) {
            // Straight after a rest the descriptor is tried without asking first: a read or
            // write that finds nothing to do says EAGAIN, and a second poll per wake-up is saved.
            fds[0].revents = events;
            fds[1].revents = 0;
        } else {
            lock.unlock();
            const SysResult polled =
                m_sys.Poll(fds.data(), fds.size(),
                           due == INT64_MAX ? -1 : std::max<std::int64_t>(due - now, 0));
            lock.lock();
            ++m_traffic.WakeUps;
            if (!polled) {
                if (!Transient(polled.Error)) MarkGone();
                continue;
            }
            rested = polled.Value == 0 && due != INT64_MAX;
            restedUntil = due;
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            m_sys.Read(m_wake.Get(), &count, sizeof count);
        }
        const short device = fds[0].revents;
        // Input found missing when tried is waited for with POLLIN, as before the rest.
        if ((device & POLLIN) && (ReadLine() || !tried)) {
            ApplyLineActions();  // an Xoff is on its way before anyone sees the characters
            m_inputRestUntilUs = NowUs() + GatherUs();
            // Unpaced output gathers with the input: one wake-up serves both.
            if (!Paced()) m_outputRestUntilUs = m_inputRestUntilUs;
        }
        if (IsGone() || m_stop) break;
        if (device & (POLLHUP | POLLERR | POLLNVAL) && !(device & POLLIN)) {
            // What arrived before a hang-up is still read while there is room for it.
            if (room && !(events & POLLIN) && !(device & POLLNVAL)) {
                m_inputRestUntilUs = 0;
                continue;
            }
            MarkGone();
            break;
        }
        if (device & POLLOUT) WriteLine(NowUs());
    }
}

bool PosixCommPort::Writing() const {
    return m_tx.Size > 0;
}

void PosixCommPort::TransmitQueue::Put(const std::uint8_t* data, std::size_t count) {
    for (std::size_t done = 0; done < count;) {
        const std::size_t tail = (Head + Size) % Ring.size();
        const std::size_t n = std::min(count - done, Ring.size() - tail);
        std::copy_n(data + done, n, Ring.data() + tail);
        Size += n;
        done += n;
    }
}

void PosixCommPort::TransmitQueue::Drop(std::size_t count) {
    Head = (Head + count) % Ring.size();
    Size -= count;
}

// Takes what fits of the pending write; the write is complete once all of it is in.
void PosixCommPort::FillQueue() {
    if (!m_write || m_write->Failed || (m_write->Done == m_write->Size && m_write->Size > 0))
        return;
    const auto n = static_cast<std::uint32_t>(
        std::min<std::size_t>(m_tx.Free(), m_write->Size - m_write->Done));
    m_tx.Put(m_write->Data + m_write->Done, n);
    m_write->Done += n;
    if (m_write->Done == m_write->Size) Complete(false);
}

// Xon/Xoff and DSR flow act on the characters the kernel has not yet taken; a driver
// without an immediate path for flow characters (USB adapters, pseudo-terminals) would
// otherwise send our Xoff, and go on after the far end's, only behind all it holds.
bool PosixCommPort::Paced() const {
    return m_config.fOutX || m_config.fInX || m_config.fOutxDsrFlow;
}

double PosixCommPort::FrameUs() const {
    return 1e6 * FrameBits(m_config) / std::max<std::uint32_t>(m_config.BaudRate, 1);
}

// Some milliseconds of line, at least two characters, and no more than a quarter of the
// room XoffLim leaves a far end like us.
double PosixCommPort::LeadUs() const {
    const double frames =
        std::clamp(m_leadUs / FrameUs(), 2.0, std::max(2.0, m_config.XoffLim / 4.0));
    return frames * FrameUs();
}

// What may go to the kernel now: the lead less what has not yet left at the line's rate.
// Where the driver tells what it still holds, that moves the line's free time on, for a line
// slower than its rate (a busy far end, a USB adapter not drained as fast as it is fed).
std::uint32_t PosixCommPort::PacedRoom(std::int64_t now) {
    const auto at = static_cast<double>(now);
    if (const SysResult queued = m_queueTold ? m_sys.OutputQueued(m_device.Get()) : SysResult::Ok();
        queued && queued.Value > 0)
        m_lineFreeUs = std::max(m_lineFreeUs, at + static_cast<double>(queued.Value) * FrameUs());
    const double free = at + LeadUs() - std::max(m_lineFreeUs, at);
    return free <= 0 ? 0u : static_cast<std::uint32_t>(free / FrameUs());
}

// Paced output is due when what the kernel holds will have drained to the wake margin (its
// drain time follows TIOCOUTQ where the driver tells it, else the frame time): one top-up to
// the full lead per wake-up. Other output after a few milliseconds' gather.
std::int64_t PosixCommPort::OutputDueUs() const {
    if (Paced())
        return static_cast<std::int64_t>(
            m_lineFreeUs -
            std::min(m_wakeMarginUs + m_lateMeanUs + 4 * m_lateSpreadUs, LeadUs() / 2));
    return m_outputRestUntilUs;
}

// Less than it takes the kernel's buffer to fill and, with input flow control, a fraction of
// the room XoffLim keeps for what arrives after the threshold.
std::int64_t PosixCommPort::GatherUs() const {
    double chars = kKernelBufferChars / 2;
    if (m_config.fInX || m_config.fRtsControl == RTS_CONTROL_HANDSHAKE)
        chars = std::min(chars, std::max(1.0, m_config.XoffLim / 5.0));
    return std::min(kRestUs, static_cast<std::int64_t>(chars * FrameUs()));
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

// No more than the queue has room for: what stays in the kernel is not lost, and a loss
// there is the kernel's own, which its counters report.
bool PosixCommPort::ReadLine() {
    std::array<std::uint8_t, kReadChunk> buffer;
    const std::size_t room = std::min<std::size_t>(buffer.size(), m_rx.Free());
    if (room == 0) return false;
    const SysResult r = m_sys.Read(m_device.Get(), buffer.data(), room);
    if (!r) {
        if (DeviceGone(r.Error))
            MarkGone();
        else if (!Transient(r.Error))
            m_readFailed = true;  // this read's failure, told to the next ReadFile
        return !Transient(r.Error);
    }
    if (r.Value == 0) {  // with VMIN 1 only a hang-up reads as end of file
        MarkGone();
        return true;
    }
    m_traffic.Received += static_cast<std::uint64_t>(r.Value);
    m_rx.Receive(buffer.data(), static_cast<std::size_t>(r.Value));
    // With CRTSCTS the kernel raises RTS again as our read drains its buffer, whatever our
    // queue says: while the queue is above its threshold RTS goes back down.
    if (m_config.fRtsControl == RTS_CONTROL_HANDSHAKE && !m_rtsHigh && m_config.fOutxCtsFlow)
        m_sys.LowerModemLines(m_device.Get(), TIOCM_RTS);
    return true;
}

// What the kernel takes, up to the room; where the ring wraps the rest follows in the same
// wake-up rather than a wake-up of its own.
void PosixCommPort::WriteLine(std::int64_t now) {
    for (int piece = 0; piece < 2; ++piece) {
        // An Xoff read in this same wake-up holds what is not yet with the kernel.
        if (!Writing() || m_rx.HoldsOutput()) return;
        const auto contiguous = static_cast<std::uint32_t>(m_tx.Contiguous());
        auto count = contiguous;
        if (Paced()) count = std::min(count, PacedRoom(now));
        if (count == 0) return;
        const SysResult r = m_sys.Write(m_device.Get(), m_tx.Front(), count);
        if (!r) {
            if (Transient(r.Error)) return;
            if (DeviceGone(r.Error)) {
                MarkGone();
            } else {
                // The driver refuses the data: what is queued cannot go, and the write fails.
                m_tx.Clear();
                if (m_write && m_write->Done < m_write->Size) Complete(true);
            }
            return;
        }
        m_lineFreeUs = std::max(m_lineFreeUs, static_cast<double>(now)) +
                       static_cast<double>(r.Value) * FrameUs();
        if (!Paced()) m_outputRestUntilUs = m_inputRestUntilUs = NowUs() + GatherUs();
        m_tx.Drop(static_cast<std::size_t>(r.Value));
        m_traffic.Sent += static_cast<std::uint64_t>(r.Value);
        FillQueue();
        if (static_cast<std::uint32_t>(r.Value) < contiguous) return;  // the kernel or the lead is full
    }
}

// The event tells a waiting caller; the completion query tells the engine.
void PosixCommPort::Complete(bool failed) {
    m_write->Failed = failed;
    if (m_write->Transfer && m_write->Transfer->Event) m_write->Transfer->Event->Set();
}

}  // namespace kvartix
