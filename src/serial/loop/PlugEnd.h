#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>

#include "serial/CommPort.h"
#include "serial/ReceiveQueue.h"
#include "serial/loop/LoopOptions.h"

namespace kvartix {

// What the plug has injected so far into what an end received.
struct LoopInjected {
    std::int64_t Corrupted = 0;
    std::int64_t Dropped = 0;
    std::int64_t Inserted = 0;
};

// One end of a built-in plug's wire, as a driver keeps it: the receive queue with its flow
// control, the transmit queue of the SetupComm size and the write being taken into it, and
// the faults injected on what this end receives. Its CTS follows the far end's RTS, its DSR
// and DCD the far end's DTR; with no far end (a cable end alone) they are off and what it
// sends goes nowhere. Times are microseconds since the wire was made (PlugWire).
class PlugEnd {
  public:
    explicit PlugEnd(LoopImpairments impairments);

    // The port's side.
    const LineConfig& Config() const { return m_config; }
    bool Configure(const LineConfig& config);
    bool SetupQueues(std::uint32_t rxQueue, std::uint32_t txQueue);
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t count) {
        return m_rx.Read(buffer, count);
    }
    // False while a write is still being taken.
    bool StartWrite(TransferRecord& transfer, const std::uint8_t* buffer, std::uint32_t count);
    // Pending until the last character has entered the transmit queue.
    IoResult WriteResult(std::uint32_t& transferred);
    void Status(const PlugEnd* far, std::uint32_t& errors, CommStatus& status);
    std::uint32_t ModemStatus(const PlugEnd* far) const;
    std::uint32_t PurgeOutput();
    bool TransmitXon() { return m_rx.RequestXon(); }
    void Close();
    const LoopInjected& Injected() const { return m_injected; }

    // The wire's side, asked at every character, so kept here to be inlined.
    // Our own flow characters go out whatever holds the data.
    bool HasToSend(const PlugEnd* far) const {
        return m_rx.Control() || (!m_tx.empty() && LineHolds(far) == 0 && !m_rx.HoldsOutput());
    }
    double FrameUs() const { return m_frameUs; }
    double LineFreeUs() const { return m_lineFreeUs; }
    // An idle line saves no time: the next character starts no earlier than this.
    void IdleUntil(double us) { m_lineFreeUs = std::max(m_lineFreeUs, us); }
    // The next character goes out, through at atUs, into the far end if there is one.
    void SendNext(double atUs, PlugEnd* far);

  private:
    struct PendingWrite {
        const std::uint8_t* Data = nullptr;
        std::uint32_t Size = 0;
        std::uint32_t Taken = 0;  // bytes moved into the transmit buffer
        TransferRecord* Transfer = nullptr;
    };

    void RefillTransmitBuffer();
    // A character from a sender configured so; flow: one of the sender's own Xon or Xoff.
    void Arrive(std::uint8_t c, bool flow, const LineConfig& sent);
    bool Rts() const {
        switch (m_config.fRtsControl) {
            case RTS_CONTROL_DISABLE:
                return false;
            case RTS_CONTROL_HANDSHAKE:
                return m_rx.RtsReady();
            default:
                return true;
        }
    }
    bool Dtr() const { return m_config.fDtrControl != DTR_CONTROL_DISABLE; }
    // The wiring: CTS follows the far end's RTS, DSR its DTR.
    std::uint8_t LineHolds(const PlugEnd* far) const {
        std::uint8_t f = 0;
        if (m_config.fOutxCtsFlow && !(far && far->Rts())) f |= kCtsHold;
        if (m_config.fOutxDsrFlow && !(far && far->Dtr())) f |= kDsrHold;
        return f;
    }
    double Uniform() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_rng); }

    LoopImpairments m_impairments;
    std::mt19937_64 m_rng;
    LoopInjected m_injected;
    std::uint64_t m_flowReceived = 0;  // the far end's Xon and Xoff characters so far
    std::uint32_t m_lineErrors = 0;    // CE_FRAME since the last status query

    LineConfig m_config;
    double m_frameUs = 1e6 * 10 / 9600;
    ReceiveQueue m_rx;
    // The transmit queue of the SetupComm size, as a driver that honours it keeps.
    std::deque<std::uint8_t> m_tx;
    std::uint32_t m_txCapacity = 4096;
    std::optional<PendingWrite> m_write;
    double m_lineFreeUs = 0;  // when the character on the line is through
};

}  // namespace kvartix
