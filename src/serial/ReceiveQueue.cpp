#include "serial/ReceiveQueue.h"

#include <algorithm>

namespace kvartix {

void ReceiveQueue::Resize(std::uint32_t capacity) {
    std::vector<std::uint8_t> ring(std::max<std::uint32_t>(capacity, 1));
    const std::uint32_t kept = Read(ring.data(), std::min(m_size, capacity));
    m_ring = std::move(ring);
    m_head = 0;
    m_size = kept;
    CheckThresholds();
}

void ReceiveQueue::Configure(const LineConfig& config) {
    m_config = config;
    m_mask = static_cast<std::uint8_t>(0xFF >> (8 - std::clamp<unsigned>(config.ByteSize, 5, 8)));
    m_rtsReady = true;
    CheckThresholds();
}

// The fill only grows here, so the thresholds are looked at once, after the piece.
void ReceiveQueue::Receive(const std::uint8_t* data, std::size_t count) {
    const auto capacity = static_cast<std::uint32_t>(m_ring.size());
    for (std::size_t i = 0; i < count; ++i) {
        const auto c = static_cast<std::uint8_t>(data[i] & m_mask);
        if (m_config.fOutX && (c == m_config.XoffChar || c == m_config.XonChar)) {
            m_xoffReceived = c == m_config.XoffChar;
            continue;
        }
        if (m_size >= capacity) {
            m_errors |= CE_RXOVER;
            continue;
        }
        const std::uint32_t tail = m_head + m_size;
        m_ring[tail < capacity ? tail : tail - capacity] = c;
        ++m_size;
    }
    CheckThresholds();
}

std::uint32_t ReceiveQueue::Read(std::uint8_t* out, std::uint32_t count) {
    const std::uint32_t n = std::min(count, m_size);
    const auto capacity = static_cast<std::uint32_t>(m_ring.size());
    const std::uint32_t first = std::min(n, capacity - m_head);
    std::copy_n(m_ring.data() + m_head, first, out);
    std::copy_n(m_ring.data(), n - first, out + first);
    m_head = capacity ? (m_head + n) % capacity : 0;
    m_size -= n;
    CheckThresholds();
    return n;
}

void ReceiveQueue::ControlSent() {
    if (!m_control) return;
    m_xoffSent = *m_control == m_config.XoffChar;
    m_control.reset();
}

bool ReceiveQueue::RequestXon() {
    if (!m_config.fInX || m_inputStopped || m_control) return false;
    m_control = m_config.XonChar;
    return true;
}

bool ReceiveQueue::HoldsOutput() const {
    return (m_config.fOutX && m_xoffReceived) ||
           (m_config.fInX && m_xoffSent && !m_config.fTXContinueOnXoff);
}

std::uint8_t ReceiveQueue::HoldFlags() const {
    std::uint8_t f = 0;
    if (m_config.fOutX && m_xoffReceived) f |= kXoffHold;
    if (m_config.fInX && m_xoffSent) f |= kXoffSent;
    return f;
}

// Xoff and RTS drop once free room is down to XoffLim; Xon and RTS rise once the queue
// holds no more than XonLim. With XoffLim 0 the flow stops as the queue fills, before the
// next character can be lost.
void ReceiveQueue::CheckThresholds() {
    const auto capacity = static_cast<std::uint32_t>(m_ring.size());
    const bool full = capacity - std::min(m_size, capacity) <= m_config.XoffLim;
    const bool drained = m_size <= m_config.XonLim;
    if (m_config.fInX) {
        if (!m_inputStopped && full) {
            m_inputStopped = true;
            m_control = m_config.XoffChar;
        } else if (m_inputStopped && drained) {
            m_inputStopped = false;
            m_control = m_config.XonChar;
        }
    }
    if (m_config.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        if (m_rtsReady && full)
            m_rtsReady = false;
        else if (!m_rtsReady && drained)
            m_rtsReady = true;
    }
}

}  // namespace kvartix
