#include "serial/loop/PlugEnd.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kvartix {
namespace {

// A receiver reads the sender's characters when its rate is within what a UART's sampling
// takes (2 %), with the same data bits and parity; it checks only the first stop bit.
bool ReadsFrame(const LineConfig& receiver, const LineConfig& sent) {
    const double ratio = static_cast<double>(receiver.BaudRate) / sent.BaudRate;
    return std::abs(ratio - 1.0) <= 0.02 && receiver.ByteSize == sent.ByteSize &&
           receiver.Parity == sent.Parity;
}

}  // namespace

PlugEnd::PlugEnd(LoopImpairments impairments)
    : m_impairments(impairments),
      m_rng(impairments.Seed ? *impairments.Seed : std::random_device{}()) {}

bool PlugEnd::Configure(const LineConfig& config) {
    if (config.BaudRate == 0 || config.Parity > 4 ||
        !FrameSupported(config.ByteSize, config.StopBits))
        return false;
    m_config = config;
    m_frameUs = 1e6 * FrameBits(config) / config.BaudRate;
    m_rx.Configure(config);
    return true;
}

bool PlugEnd::SetupQueues(std::uint32_t rxQueue, std::uint32_t txQueue) {
    if (rxQueue == 0 || txQueue == 0) return false;
    m_rx.Resize(rxQueue);
    m_txCapacity = txQueue;
    return true;
}

bool PlugEnd::StartWrite(TransferRecord& transfer, const std::uint8_t* buffer,
                         std::uint32_t count) {
    if (m_write) return false;
    if (transfer.Event) transfer.Event->Reset();
    m_write = PendingWrite{buffer, count, 0, &transfer};
    RefillTransmitBuffer();
    return true;
}

IoResult PlugEnd::WriteResult(std::uint32_t& transferred) {
    if (!m_write) return IoResult::Failed;
    if (m_write->Taken < m_write->Size) return IoResult::Pending;
    transferred = m_write->Size;
    m_write.reset();
    return IoResult::Done;
}

void PlugEnd::Status(const PlugEnd* far, std::uint32_t& errors, CommStatus& status) {
    errors = m_rx.TakeErrors() | std::exchange(m_lineErrors, 0u);
    status.Flags = LineHolds(far) | m_rx.HoldFlags();
    status.InQueue = m_rx.Size();
    status.OutQueue =
        static_cast<std::uint32_t>(m_tx.size()) + (m_write ? m_write->Size - m_write->Taken : 0);
}

std::uint32_t PlugEnd::ModemStatus(const PlugEnd* far) const {
    if (!far) return 0;
    return (far->Rts() ? MS_CTS_ON : 0) | (far->Dtr() ? MS_DSR_ON | MS_RLSD_ON : 0);
}

std::uint32_t PlugEnd::PurgeOutput() {
    auto discarded = static_cast<std::uint32_t>(m_tx.size());
    m_tx.clear();
    if (m_write && m_write->Taken < m_write->Size) {
        discarded += m_write->Size - m_write->Taken;
        m_write->Taken = m_write->Size;
        if (m_write->Transfer && m_write->Transfer->Event) m_write->Transfer->Event->Set();
    }
    return discarded;
}

void PlugEnd::Close() {
    m_write.reset();
    m_tx.clear();
}

void PlugEnd::RefillTransmitBuffer() {
    if (!m_write) return;
    const std::uint32_t room =
        m_txCapacity - std::min(m_txCapacity, static_cast<std::uint32_t>(m_tx.size()));
    const std::uint32_t n = std::min(room, m_write->Size - m_write->Taken);
    m_tx.insert(m_tx.end(), m_write->Data + m_write->Taken, m_write->Data + m_write->Taken + n);
    m_write->Taken += n;
    if (m_write->Taken == m_write->Size && m_write->Transfer && m_write->Transfer->Event)
        m_write->Transfer->Event->Set();
}

void PlugEnd::SendNext(double atUs, PlugEnd* far) {
    m_lineFreeUs = atUs;
    std::uint8_t c;
    const bool flow = m_rx.Control().has_value();
    if (flow) {
        c = *m_rx.Control();
        m_rx.ControlSent();
    } else {
        c = m_tx.front();
        m_tx.pop_front();
        RefillTransmitBuffer();
    }
    if (far) far->Arrive(c, flow, m_config);
}

void PlugEnd::Arrive(std::uint8_t c, bool flow, const LineConfig& sent) {
    if (flow && ++m_flowReceived == m_impairments.FlowCorrupt) c ^= 0x40;
    const auto mask = static_cast<std::uint8_t>(0xFF >> (8 - sent.ByteSize));
    if (m_impairments.Drop > 0 && Uniform() < m_impairments.Drop) {
        ++m_injected.Dropped;
        return;
    }
    if (m_impairments.Corrupt > 0 && Uniform() < m_impairments.Corrupt) {
        const auto flip = std::uniform_int_distribution<int>(1, mask)(m_rng);
        c = static_cast<std::uint8_t>(c ^ flip);
        ++m_injected.Corrupted;
    }
    // A frame this end does not read arrives as some character with a framing error.
    if (!ReadsFrame(m_config, sent)) {
        c = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(m_rng));
        m_lineErrors |= CE_FRAME;
    }
    m_rx.Receive(&c, 1);
    if (m_impairments.Insert > 0 && Uniform() < m_impairments.Insert) {
        ++m_injected.Inserted;
        const auto extra =
            static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(m_rng));
        m_rx.Receive(&extra, 1);
    }
}

}  // namespace kvartix
