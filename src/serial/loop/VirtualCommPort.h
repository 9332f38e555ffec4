#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <random>

#include "serial/Clock.h"
#include "serial/CommPort.h"
#include "serial/ReceiveQueue.h"
#include "serial/loop/LoopOptions.h"

namespace kvartix {

// What the plug has injected so far.
struct LoopInjected {
    std::int64_t Corrupted = 0;
    std::int64_t Dropped = 0;
    std::int64_t Inserted = 0;
};

// The built-in loopback plug: TX wired to RX, RTS to CTS, DTR to DSR and DCD. Characters
// move at the frame time of the configured line, computed from the clock at every call, so
// a test that drives the clock sees exactly which characters have arrived. No thread.
class VirtualCommPort final : public CommPort {
public:
    VirtualCommPort(const Clock& clock, LoopImpairments impairments = {});

    const LoopInjected& Injected() const { return m_injected; }

  protected:
    bool DoGetCommState(LineConfig& config) override;
    bool DoSetCommState(const LineConfig& config) override;
    bool DoSetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) override;
    bool DoSetCommTimeouts(const CommTimeouts& timeouts) override;
    bool DoSetCommMask(std::uint32_t mask) override;
    IoResult DoReadFile(TransferRecord& transfer, std::uint8_t* buffer, std::uint32_t count,
                        std::uint32_t& got) override;
    IoResult DoWriteFile(TransferRecord& transfer, const std::uint8_t* buffer, std::uint32_t count,
                         std::uint32_t& written) override;
    IoResult DoGetOverlappedResult(TransferRecord& transfer, std::uint32_t& transferred) override;
    bool DoClearCommError(std::uint32_t& errors, CommStatus& status) override;
    bool DoGetCommModemStatus(std::uint32_t& modemStatus) override;
    bool DoCloseHandle() override;
    std::optional<std::uint32_t> DoPurgeOutput() override;
    bool DoTransmitXon() override;

  private:
    struct PendingWrite {
        const std::uint8_t* Data = nullptr;
        std::uint32_t Size = 0;
        std::uint32_t Taken = 0;  // bytes moved into the transmit buffer
        TransferRecord* Transfer = nullptr;
    };

    void Advance();
    void RefillTransmitBuffer();
    void SendOnLine(std::uint8_t c);
    void Receive(std::uint8_t c);
    std::uint8_t LineHolds() const;
    bool OutputHeld() const;
    bool Rts() const;
    bool Dtr() const;
    std::uint8_t StatusFlags() const;
    double Uniform() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_rng); }

    const Clock& m_clock;
    LoopImpairments m_impairments;
    std::mt19937_64 m_rng;
    LoopInjected m_injected;
    std::uint64_t m_flowSent = 0;  // our Xon and Xoff characters so far

    LineConfig m_config;
    double m_frameUs = 1e6 * 10 / 9600;
    ReceiveQueue m_rx;
    // The transmit queue of the SetupComm size, as a driver that honours it keeps.
    std::deque<std::uint8_t> m_tx;
    std::uint32_t m_txCapacity = 4096;
    std::optional<PendingWrite> m_write;
    const std::int64_t m_originUs;
    double m_lineFreeUs = 0;  // since m_originUs: when the character on the line is through
};

}  // namespace kvartix
