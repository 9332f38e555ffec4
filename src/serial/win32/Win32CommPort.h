#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/CommPort.h"
#include "serial/win32/Win32Discovery.h"

namespace kvartix {

// The Windows serial driver itself, through kernel32. The handle and its two overlapped
// records (each with its own event) live in here; the caller's transfer records only learn
// when a write completed. A read asks for no more than the driver reports queued, so it never
// waits for characters that have not come. A port whose adapter vanished answers every
// transfer with Gone.
class Win32CommPort final : public CommPort {
  public:
    // nullptr when the device does not exist or someone holds it.
    static std::unique_ptr<Win32CommPort> Open(const std::string& devicePath, bool overlapped);
    ~Win32CommPort() override;
    Win32CommPort(const Win32CommPort&) = delete;
    Win32CommPort& operator=(const Win32CommPort&) = delete;

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
    struct Handles;
    explicit Win32CommPort(std::unique_ptr<Handles> handles);
    IoResult Failure(unsigned long error);
    bool Succeeded(int ok);

    std::unique_ptr<Handles> m_h;
    bool m_writePending = false;
    bool m_stuck = false;  // the driver kept a cancelled transfer's record
    TransferRecord* m_writeTransfer = nullptr;
    std::uint32_t m_errors = 0;  // gathered by reads, handed out by ClearCommError
};

// Opens each path as the probe of the port list does: exclusive, not overlapped.
class Win32DeviceProbe final : public DeviceProbe {
  public:
    bool Opens(const std::string& devicePath) override;
};

}  // namespace kvartix
