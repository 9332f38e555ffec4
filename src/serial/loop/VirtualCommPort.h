#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "serial/Clock.h"
#include "serial/CommPort.h"
#include "serial/loop/LoopOptions.h"
#include "serial/loop/PlugEnd.h"
#include "serial/loop/PlugWire.h"

namespace kvartix {

// A built-in plug's port: the loopback plug (TX wired to RX, RTS to CTS, DTR to DSR and DCD)
// or one end of a null-modem cable. Characters move at the frame time of the configured line,
// computed from the clock at every call, so a test that drives the clock sees exactly which
// characters have arrived. No thread.
class VirtualCommPort final : public CommPort {
  public:
    // The loopback plug.
    VirtualCommPort(const Clock& clock, LoopImpairments impairments = {});
    // The end at side of a cable, which must be free; impairments act on what it receives.
    VirtualCommPort(std::shared_ptr<PlugWire> cable, int side, LoopImpairments impairments = {});
    ~VirtualCommPort() override;

    const LoopInjected& Injected() const { return m_end.Injected(); }

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
    PlugEnd* Far() const { return m_wire->Far(m_side); }

    std::shared_ptr<PlugWire> m_wire;
    const int m_side;
    PlugEnd m_end;  // plugged into the wire from construction to the close
};

}  // namespace kvartix
