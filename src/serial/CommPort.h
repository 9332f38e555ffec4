#pragma once

#include <atomic>
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
//
// The public calls are the front every backend shares: after CloseHandle every call fails
// (false, Failed, none); once the backend has said the device is gone, transfers answer Gone
// and the queries false, while the configuration calls and the close still reach the backend.
// The backend implements the protected Do… side and never sees a call on a closed port.
class CommPort {
public:
    virtual ~CommPort() = default;

    bool GetCommState(LineConfig& config) { return Usable() && DoGetCommState(config); }
    bool SetCommState(const LineConfig& config) { return !m_closed && DoSetCommState(config); }
    bool SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) {
        return !m_closed && DoSetupComm(rxQueue, txQueue);
    }
    bool SetCommTimeouts(const CommTimeouts& timeouts) {
        return !m_closed && DoSetCommTimeouts(timeouts);
    }
    bool SetCommMask(std::uint32_t mask) { return !m_closed && DoSetCommMask(mask); }

    // Returns at once with what the receive queue holds, up to count bytes.
    IoResult ReadFile(TransferRecord& transfer, std::uint8_t* buffer, std::uint32_t count,
                      std::uint32_t& got) {
        got = 0;
        if (const auto refused = Refusal()) return *refused;
        return DoReadFile(transfer, buffer, count, got);
    }
    // Done means finished within the call (written holds the count); Pending means queued.
    IoResult WriteFile(TransferRecord& transfer, const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& written) {
        written = 0;
        if (const auto refused = Refusal()) return *refused;
        return DoWriteFile(transfer, buffer, count, written);
    }
    // Never waits: Pending while the queued write is still running.
    IoResult GetOverlappedResult(TransferRecord& transfer, std::uint32_t& transferred) {
        transferred = 0;
        if (const auto refused = Refusal()) return *refused;
        return DoGetOverlappedResult(transfer, transferred);
    }

    // Returns and clears the error mask gathered since the last call.
    bool ClearCommError(std::uint32_t& errors, CommStatus& status) {
        return Usable() && DoClearCommError(errors, status);
    }
    bool GetCommModemStatus(std::uint32_t& modemStatus) {
        return Usable() && DoGetCommModemStatus(modemStatus);
    }
    // Also for a port whose device is gone: the handle and the lock are still ours.
    bool CloseHandle() {
        if (m_closed) return false;
        m_closed = true;
        return DoCloseHandle();
    }

    // Throws away what was handed over and is not yet on the line: the transmit queue, what
    // the driver still holds and the rest of a pending write, which then completes. How many
    // characters went; none where the port cannot tell.
    std::optional<std::uint32_t> PurgeOutput() {
        if (!Usable()) return std::nullopt;
        return DoPurgeOutput();
    }

    // Our Xon once more, ahead of queued output as the driver sends its own flow characters,
    // while Xon/Xoff input flow is on and our input is not stopped: an Xon the line lost, or a
    // character turned into an Xoff, would otherwise hold the far end for good. False where
    // it is not sent.
    bool TransmitXon() { return Usable() && DoTransmitXon(); }

  protected:
    // The backend's side of each call above, only ever called on an open port.
    virtual bool DoGetCommState(LineConfig& config) = 0;
    virtual bool DoSetCommState(const LineConfig& config) = 0;
    virtual bool DoSetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) = 0;
    virtual bool DoSetCommTimeouts(const CommTimeouts& timeouts) = 0;
    virtual bool DoSetCommMask(std::uint32_t mask) = 0;
    virtual IoResult DoReadFile(TransferRecord& transfer, std::uint8_t* buffer, std::uint32_t count,
                                std::uint32_t& got) = 0;
    virtual IoResult DoWriteFile(TransferRecord& transfer, const std::uint8_t* buffer,
                                 std::uint32_t count, std::uint32_t& written) = 0;
    virtual IoResult DoGetOverlappedResult(TransferRecord& transfer,
                                           std::uint32_t& transferred) = 0;
    virtual bool DoClearCommError(std::uint32_t& errors, CommStatus& status) = 0;
    virtual bool DoGetCommModemStatus(std::uint32_t& modemStatus) = 0;
    // Called once; the port counts as closed whatever it returns. A backend that holds
    // anything calls CloseHandle() from its own destructor: by ~CommPort its side is gone.
    virtual bool DoCloseHandle() = 0;
    virtual std::optional<std::uint32_t> DoPurgeOutput() { return std::nullopt; }
    virtual bool DoTransmitXon() { return false; }

    // The device has gone away for good. Any thread may say so (an I/O thread that saw the
    // hang-up); the calls that follow answer as the front above says.
    void MarkGone() { m_gone.store(true, std::memory_order_release); }
    bool IsGone() const { return m_gone.load(std::memory_order_acquire); }

  private:
    bool Usable() const { return !m_closed && !IsGone(); }
    std::optional<IoResult> Refusal() const {
        if (m_closed) return IoResult::Failed;
        if (IsGone()) return IoResult::Gone;
        return std::nullopt;
    }

    bool m_closed = false;  // the caller's thread only
    std::atomic<bool> m_gone{false};
};

// Opens a device path exclusively; nullptr when it does not exist or someone holds it.
// Why a device would not open, where the system says more than that it is not there.
struct PortRefusal {
    int OsError = 0;     // the system's error number; 0 when none
    std::string Reason;  // one line for a person: the lock's process, the group, busy; or empty
    bool operator==(const PortRefusal&) const = default;
};

class PortOpener {
public:
    virtual ~PortOpener() = default;
    // nullptr when refused; why says what the system said.
    virtual std::unique_ptr<CommPort> Open(const std::string& devicePath, bool overlapped,
                                           PortRefusal& why) = 0;
};

}  // namespace kvartix
