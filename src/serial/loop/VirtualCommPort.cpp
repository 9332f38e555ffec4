#include "serial/loop/VirtualCommPort.h"

#include <algorithm>
#include <utility>

namespace kvartix {

VirtualCommPort::VirtualCommPort(const Clock& clock, LoopImpairments impairments)
    : m_clock(clock), m_impairments(impairments),
      m_rng(impairments.Seed ? *impairments.Seed : std::random_device{}()),
      m_originUs(clock.NowUs()) {}

bool VirtualCommPort::DoGetCommState(LineConfig& config) {
    config = m_config;
    return true;
}

bool VirtualCommPort::DoSetCommState(const LineConfig& config) {
    if (config.BaudRate == 0 || config.Parity > 4 ||
        !FrameSupported(config.ByteSize, config.StopBits))
        return false;
    Advance();
    m_config = config;
    m_frameUs = 1e6 * FrameBits(config) / config.BaudRate;
    m_rx.Configure(config);
    return true;
}

bool VirtualCommPort::DoSetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) {
    if (rxQueue == 0 || txQueue == 0) return false;
    m_rx.Resize(rxQueue);
    m_txCapacity = txQueue;
    return true;
}

bool VirtualCommPort::DoSetCommTimeouts(const CommTimeouts&) {
    return true;
}
bool VirtualCommPort::DoSetCommMask(std::uint32_t) {
    return true;
}

IoResult VirtualCommPort::DoReadFile(TransferRecord&, std::uint8_t* buffer, std::uint32_t count,
                                     std::uint32_t& got) {
    Advance();
    got = m_rx.Read(buffer, count);
    return IoResult::Done;
}

// Like a driver that queues every request: the call never completes the write itself.
IoResult VirtualCommPort::DoWriteFile(TransferRecord& transfer, const std::uint8_t* buffer,
                                      std::uint32_t count, std::uint32_t& /*written*/) {
    if (m_write) return IoResult::Failed;
    Advance();
    if (transfer.Event) transfer.Event->Reset();
    m_write = PendingWrite{buffer, count, 0, &transfer};
    RefillTransmitBuffer();
    return IoResult::Pending;
}

IoResult VirtualCommPort::DoGetOverlappedResult(TransferRecord&, std::uint32_t& transferred) {
    if (!m_write) return IoResult::Failed;
    Advance();
    if (m_write->Taken < m_write->Size) return IoResult::Pending;
    transferred = m_write->Size;
    m_write.reset();
    return IoResult::Done;
}

bool VirtualCommPort::DoClearCommError(std::uint32_t& errors, CommStatus& status) {
    Advance();
    errors = m_rx.TakeErrors();
    status.Flags = StatusFlags();
    status.InQueue = m_rx.Size();
    status.OutQueue = static_cast<std::uint32_t>(m_tx.size()) +
                      (m_write ? m_write->Size - m_write->Taken : 0);
    return true;
}

bool VirtualCommPort::DoGetCommModemStatus(std::uint32_t& modemStatus) {
    Advance();
    modemStatus = (Rts() ? MS_CTS_ON : 0) | (Dtr() ? MS_DSR_ON | MS_RLSD_ON : 0);
    return true;
}

bool VirtualCommPort::DoCloseHandle() {
    m_write.reset();
    m_tx.clear();
    return true;
}

bool VirtualCommPort::DoTransmitXon() {
    Advance();
    return m_rx.RequestXon();
}

std::optional<std::uint32_t> VirtualCommPort::DoPurgeOutput() {
    Advance();
    auto discarded = static_cast<std::uint32_t>(m_tx.size());
    m_tx.clear();
    if (m_write && m_write->Taken < m_write->Size) {
        discarded += m_write->Size - m_write->Taken;
        m_write->Taken = m_write->Size;
        if (m_write->Transfer && m_write->Transfer->Event) m_write->Transfer->Event->Set();
    }
    return discarded;
}

bool VirtualCommPort::Rts() const {
    switch (m_config.fRtsControl) {
        case RTS_CONTROL_DISABLE: return false;
        case RTS_CONTROL_HANDSHAKE: return m_rx.RtsReady();
        default: return true;
    }
}

bool VirtualCommPort::Dtr() const { return m_config.fDtrControl != DTR_CONTROL_DISABLE; }

// The plug's wiring: CTS follows our RTS, DSR our DTR.
std::uint8_t VirtualCommPort::LineHolds() const {
    std::uint8_t f = 0;
    if (m_config.fOutxCtsFlow && !Rts()) f |= kCtsHold;
    if (m_config.fOutxDsrFlow && !Dtr()) f |= kDsrHold;
    return f;
}

bool VirtualCommPort::OutputHeld() const { return LineHolds() != 0 || m_rx.HoldsOutput(); }

std::uint8_t VirtualCommPort::StatusFlags() const { return LineHolds() | m_rx.HoldFlags(); }

void VirtualCommPort::RefillTransmitBuffer() {
    if (!m_write) return;
    const std::uint32_t room =
        m_txCapacity - std::min(m_txCapacity, static_cast<std::uint32_t>(m_tx.size()));
    const std::uint32_t n = std::min(room, m_write->Size - m_write->Taken);
    m_tx.insert(m_tx.end(), m_write->Data + m_write->Taken, m_write->Data + m_write->Taken + n);
    m_write->Taken += n;
    if (m_write->Taken == m_write->Size && m_write->Transfer && m_write->Transfer->Event)
        m_write->Transfer->Event->Set();
}

// Plays the line from the last call up to now, one character per frame time.
void VirtualCommPort::Advance() {
    // Relative to the open: absolute microseconds in a double would round every frame time.
    const auto now = static_cast<double>(m_clock.NowUs() - m_originUs);
    for (;;) {
        const bool data = !m_tx.empty() && !OutputHeld();
        if (!m_rx.Control() && !data) {
            m_lineFreeUs = std::max(m_lineFreeUs, now);  // an idle line saves no time
            return;
        }
        const double end = m_lineFreeUs + m_frameUs;
        if (end > now) return;
        m_lineFreeUs = end;
        std::uint8_t c;
        if (m_rx.Control()) {
            c = *m_rx.Control();
            m_rx.ControlSent();
            if (++m_flowSent == m_impairments.FlowCorrupt) c ^= 0x40;
        } else {
            c = m_tx.front();
            m_tx.pop_front();
            RefillTransmitBuffer();
        }
        SendOnLine(c);
    }
}

void VirtualCommPort::SendOnLine(std::uint8_t c) {
    const auto mask = static_cast<std::uint8_t>(0xFF >> (8 - m_config.ByteSize));
    if (m_impairments.Drop > 0 && Uniform() < m_impairments.Drop) {
        ++m_injected.Dropped;
        return;
    }
    if (m_impairments.Corrupt > 0 && Uniform() < m_impairments.Corrupt) {
        const auto flip = std::uniform_int_distribution<int>(1, mask)(m_rng);
        c = static_cast<std::uint8_t>(c ^ flip);
        ++m_injected.Corrupted;
    }
    Receive(c);
    if (m_impairments.Insert > 0 && Uniform() < m_impairments.Insert) {
        ++m_injected.Inserted;
        Receive(static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(m_rng)));
    }
}

void VirtualCommPort::Receive(std::uint8_t c) { m_rx.Receive(&c, 1); }

}  // namespace kvartix
