#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "serial/CommTypes.h"

namespace kvartix {

// A serial driver's receive queue of the SetupComm size with the flow control that hangs on
// it: received XonChar/XoffChar taken out of the data when Xon/Xoff output flow is on, an
// XoffChar to send once free room is down to XoffLim and an XonChar once the queue holds no
// more than XonLim, the RTS handshake on the same thresholds, and the two Xoff hold flags.
// Both backends keep one, so the loopback plug and a real line behave alike. Not thread-safe.
class ReceiveQueue {
public:
    explicit ReceiveQueue(std::uint32_t capacity = 4096) { Resize(capacity); }

    // Keeps what fits of the queued characters.
    void Resize(std::uint32_t capacity);
    // A new line configuration: the RTS handshake starts ready, then the thresholds apply.
    void Configure(const LineConfig& config);

    // Characters as the line delivered them; bits above the data bits are dropped.
    void Receive(const std::uint8_t* data, std::size_t count);
    std::uint32_t Read(std::uint8_t* out, std::uint32_t count);
    std::uint32_t Size() const { return m_size; }
    // Room for more before characters are lost.
    std::uint32_t Free() const { return static_cast<std::uint32_t>(m_ring.size()) - m_size; }

    // CE_RXOVER when characters were lost since the last call; cleared by it.
    std::uint32_t TakeErrors() { return std::exchange(m_errors, 0u); }

    // The Xon or Xoff waiting to go out ahead of the data, and the report that it went.
    const std::optional<std::uint8_t>& Control() const { return m_control; }
    void ControlSent();
    // Queues our Xon once more; false while our input is stopped, a flow character waits or
    // Xon/Xoff input flow is off.
    bool RequestXon();

    // RTS as the handshake wants it: low while the queue is above its threshold.
    bool RtsReady() const { return m_rtsReady; }
    // Output held by a received Xoff, or by our own Xoff sent.
    bool HoldsOutput() const;
    // kXoffHold and kXoffSent of the status record.
    std::uint8_t HoldFlags() const;

private:
    void CheckThresholds();

    std::vector<std::uint8_t> m_ring;
    std::uint32_t m_head = 0;  // oldest character
    std::uint32_t m_size = 0;
    LineConfig m_config;
    std::uint8_t m_mask = 0xFF;
    std::uint32_t m_errors = 0;
    std::optional<std::uint8_t> m_control;
    bool m_xoffReceived = false;
    bool m_xoffSent = false;      // the last flow character that went out was Xoff
    bool m_inputStopped = false;  // Xoff requested and no Xon since
    bool m_rtsReady = true;
};

}  // namespace kvartix
