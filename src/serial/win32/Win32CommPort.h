#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/CommPort.h"
#include "serial/win32/Win32Discovery.h"

namespace kvartix {

class Win32Sys;
Win32Sys& Kernel32();

// The Windows serial driver itself, through kernel32 (Win32Sys). The handle, its two
// overlapped records and the read buffer live in here: a read goes into the port's own
// buffer and is copied out, so a read the driver keeps never writes into the caller's memory,
// and the call never waits for it; what it brings is handed out by a later call. A port whose
// device vanished (any call answering a removal code) answers every transfer with Gone.
class Win32CommPort final : public CommPort {
  public:
    // nullptr when the device does not exist or someone holds it.
    static std::unique_ptr<Win32CommPort> Open(const std::string& devicePath, bool overlapped,
                                               Win32Sys& sys = Kernel32());
    ~Win32CommPort() override;
    Win32CommPort(const Win32CommPort&) = delete;
    Win32CommPort& operator=(const Win32CommPort&) = delete;

    // How long a close waits for the driver to let go of a cancelled transfer.
    static constexpr unsigned long kCancelWaitMs = 1000;
    // How many more reads a cancelled read may stay with the driver before the port counts
    // as gone (a second of the engine's cycles).
    static constexpr int kCancelledReadCalls = 10;

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

  private:
    struct Driver;
    Win32CommPort(Win32Sys& sys, std::unique_ptr<Driver> driver);
    IoResult Failure(unsigned long error);
    bool Succeeded(unsigned long error);
    IoResult StartRead(std::uint32_t count);
    IoResult CollectRead();
    std::uint32_t HandOut(std::uint8_t* buffer, std::uint32_t count);

    Win32Sys& m_sys;
    std::unique_ptr<Driver> m_d;
    bool m_readPending = false;  // the driver holds the read record and buffer
    bool m_readCancelled = false;  // and not yet given back
    int m_callsSinceCancel = 0;
    bool m_writePending = false;
    bool m_stuck = false;  // the driver kept a cancelled transfer's record
    TransferRecord* m_writeTransfer = nullptr;
    std::size_t m_heldAt = 0;  // read and not yet handed out: the buffer from here
    std::size_t m_held = 0;
};

// Opens each path as the probe of the port list does: exclusive, not overlapped.
class Win32DeviceProbe final : public DeviceProbe {
  public:
    explicit Win32DeviceProbe(Win32Sys& sys = Kernel32()) : m_sys(sys) {}
    bool Opens(const std::string& devicePath) override;

  private:
    Win32Sys& m_sys;
};

}  // namespace kvartix
