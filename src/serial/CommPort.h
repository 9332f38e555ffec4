#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "serial/CommTypes.h"
#include "serial/CompletionEvent.h"

namespace kvartix {

// Outcome of a transfer call. Gone means the device has disappeared (adapter unplugged,
// far end of a pseudo-terminal closed): every later call on the port will fail too.
enum class IoResult { Done, Pending, Failed, Gone };

// One open serial port, with the operations and results of the serial driver calls the
// program relies on. Transfers are overlapped: a write may stay pending after the call
// returns, and the caller's buffer must stay untouched until its completion was seen.
// After CloseHandle every call fails.
class CommPort {
public:
    virtual ~CommPort() = default;

    virtual bool GetCommState(LineConfig& config) = 0;
    virtual bool SetCommState(const LineConfig& config) = 0;
    virtual bool SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) = 0;
    virtual bool SetCommTimeouts(const CommTimeouts& timeouts) = 0;
    virtual bool SetCommMask(std::uint32_t mask) = 0;

    // Returns at once with what the receive queue holds, up to count bytes.
    virtual IoResult ReadFile(TransferRecord& transfer, std::uint8_t* buffer, std::uint32_t count,
                              std::uint32_t& got) = 0;
    // Done means finished within the call (written holds the count); Pending means queued.
    virtual IoResult WriteFile(TransferRecord& transfer, const std::uint8_t* buffer,
                               std::uint32_t count, std::uint32_t& written) = 0;
    // Never waits: Pending while the queued write is still running.
    virtual IoResult GetOverlappedResult(TransferRecord& transfer, std::uint32_t& transferred) = 0;

    // Returns and clears the error mask gathered since the last call.
    virtual bool ClearCommError(std::uint32_t& errors, CommStatus& status) = 0;
    virtual bool GetCommModemStatus(std::uint32_t& modemStatus) = 0;
    virtual bool CloseHandle() = 0;

    // Throws away what was handed over and is not yet on the line: the transmit queue, what
    // the driver still holds and the rest of a pending write, which then completes. How many
    // characters went; none where the port cannot tell.
    virtual std::optional<std::uint32_t> PurgeOutput() { return std::nullopt; }
};

// Opens a device path exclusively; nullptr when it does not exist or someone holds it.
class PortOpener {
public:
    virtual ~PortOpener() = default;
    virtual std::unique_ptr<CommPort> Open(const std::string& devicePath, bool overlapped) = 0;
};

}  // namespace kvartix
