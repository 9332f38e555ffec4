#include "serial/win32/Win32CommPort.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "serial/CommTypes.h"
#include "serial/win32/Win32Sys.h"

namespace kvartix {
namespace {

// What drivers answer once the device has gone: an unplugged USB adapter says GEN_FAILURE
// (usbser.sys, CH340), DEVICE_NOT_CONNECTED or DEVICE_REMOVED, a stale handle INVALID_HANDLE
// or FILE_NOT_FOUND; the first call to see it is often ClearCommError.
bool AdapterGone(DWORD error) {
    switch (error) {
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_INVALID_HANDLE:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_BROKEN_PIPE:
        case ERROR_NOT_READY:
        case ERROR_OPERATION_ABORTED:
        case ERROR_BAD_COMMAND:
        case ERROR_ACCESS_DENIED:
            return true;
        default:
            return false;
    }
}

// A record for a new transfer: zero offsets and status, its own event kept.
void Renew(OVERLAPPED& record) {
    const HANDLE event = record.hEvent;
    record = OVERLAPPED{};
    record.hEvent = event;
}

void ToConfig(const DCB& d, LineConfig& c) {
    c.BaudRate = d.BaudRate;
    c.fBinary = d.fBinary;
    c.fParity = d.fParity;
    c.fOutxCtsFlow = d.fOutxCtsFlow;
    c.fOutxDsrFlow = d.fOutxDsrFlow;
    c.fDtrControl = static_cast<std::uint8_t>(d.fDtrControl);
    c.fDsrSensitivity = d.fDsrSensitivity;
    c.fTXContinueOnXoff = d.fTXContinueOnXoff;
    c.fOutX = d.fOutX;
    c.fInX = d.fInX;
    c.fErrorChar = d.fErrorChar;
    c.fNull = d.fNull;
    c.fRtsControl = static_cast<std::uint8_t>(d.fRtsControl);
    c.fAbortOnError = d.fAbortOnError;
    c.XonLim = d.XonLim;
    c.XoffLim = d.XoffLim;
    c.ByteSize = d.ByteSize;
    c.Parity = d.Parity;
    c.StopBits = d.StopBits;
    c.XonChar = static_cast<std::uint8_t>(d.XonChar);
    c.XoffChar = static_cast<std::uint8_t>(d.XoffChar);
    c.ErrorChar = static_cast<std::uint8_t>(d.ErrorChar);
    c.EofChar = static_cast<std::uint8_t>(d.EofChar);
    c.EvtChar = static_cast<std::uint8_t>(d.EvtChar);
}

// The fields the record has and the configuration does not (length, reserved words) keep
// the driver's.
void FromConfig(const LineConfig& c, DCB& d) {
    d.BaudRate = c.BaudRate;
    d.fBinary = c.fBinary;
    d.fParity = c.fParity;
    d.fOutxCtsFlow = c.fOutxCtsFlow;
    d.fOutxDsrFlow = c.fOutxDsrFlow;
    d.fDtrControl = c.fDtrControl & 3u;
    d.fDsrSensitivity = c.fDsrSensitivity;
    d.fTXContinueOnXoff = c.fTXContinueOnXoff;
    d.fOutX = c.fOutX;
    d.fInX = c.fInX;
    d.fErrorChar = c.fErrorChar;
    d.fNull = c.fNull;
    d.fRtsControl = c.fRtsControl & 3u;
    d.fAbortOnError = c.fAbortOnError;
    d.XonLim = c.XonLim;
    d.XoffLim = c.XoffLim;
    d.ByteSize = c.ByteSize;
    d.Parity = c.Parity;
    d.StopBits = c.StopBits;
    d.XonChar = static_cast<char>(c.XonChar);
    d.XoffChar = static_cast<char>(c.XoffChar);
    d.ErrorChar = static_cast<char>(c.ErrorChar);
    d.EofChar = static_cast<char>(c.EofChar);
    d.EvtChar = static_cast<char>(c.EvtChar);
}

}  // namespace

struct Win32CommPort::Driver {
    Win32Sys& Sys;
    HANDLE Port = INVALID_HANDLE_VALUE;
    OVERLAPPED Read{};
    OVERLAPPED Write{};
    DCB Config{};  // as last read, for the fields the configuration does not carry
    std::vector<std::uint8_t> ReadBuffer;

    explicit Driver(Win32Sys& sys) : Sys(sys) {}
    ~Driver() {
        if (Read.hEvent) Sys.Close(Read.hEvent);
        if (Write.hEvent) Sys.Close(Write.hEvent);
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    // After a cancel, waits a bounded time for the driver to give the record back; false
    // when it keeps it.
    bool Release(OVERLAPPED& record) {
        DWORD n = 0;
        if (Sys.GetOverlappedResult(Port, record, n, 0) != ERROR_IO_INCOMPLETE) return true;
        Sys.CancelIo(Port, record);
        return Sys.GetOverlappedResult(Port, record, n, kCancelWaitMs) != ERROR_IO_INCOMPLETE;
    }
};

std::unique_ptr<Win32CommPort> Win32CommPort::Open(const std::string& devicePath, bool overlapped,
                                                   Win32Sys& sys) {
    auto d = std::make_unique<Driver>(sys);
    if (sys.NewEvent(d->Read.hEvent) != ERROR_SUCCESS) return nullptr;
    if (sys.NewEvent(d->Write.hEvent) != ERROR_SUCCESS) return nullptr;
    if (sys.Open(devicePath, overlapped, d->Port) != ERROR_SUCCESS) return nullptr;
    d->Config.DCBlength = sizeof(DCB);
    return std::unique_ptr<Win32CommPort>(new Win32CommPort(sys, std::move(d)));
}

Win32CommPort::Win32CommPort(Win32Sys& sys, std::unique_ptr<Driver> driver)
    : m_sys(sys), m_d(std::move(driver)) {}

Win32CommPort::~Win32CommPort() {
    CloseHandle();
}

IoResult Win32CommPort::Failure(unsigned long error) {
    if (!AdapterGone(error)) return IoResult::Failed;
    MarkGone();
    return IoResult::Gone;
}

// A configuration call that meets a vanished device says so too.
bool Win32CommPort::Succeeded(unsigned long error) {
    if (error == ERROR_SUCCESS) return true;
    Failure(error);
    return false;
}

bool Win32CommPort::DoGetCommState(LineConfig& config) {
    DCB d{};
    d.DCBlength = sizeof d;
    if (!Succeeded(m_sys.GetCommState(m_d->Port, d))) return false;
    m_d->Config = d;
    ToConfig(d, config);
    return true;
}

bool Win32CommPort::DoSetCommState(const LineConfig& config) {
    DCB d = m_d->Config;
    d.DCBlength = sizeof d;
    FromConfig(config, d);
    return Succeeded(m_sys.SetCommState(m_d->Port, d));
}

bool Win32CommPort::DoSetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) {
    return Succeeded(m_sys.SetupComm(m_d->Port, rxQueue, txQueue));
}

bool Win32CommPort::DoSetCommTimeouts(const CommTimeouts& t) {
    const COMMTIMEOUTS w{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                         t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                         t.WriteTotalTimeoutConstant};
    return Succeeded(m_sys.SetCommTimeouts(m_d->Port, w));
}

bool Win32CommPort::DoSetCommMask(std::uint32_t mask) {
    return Succeeded(m_sys.SetCommMask(m_d->Port, mask));
}

// Under the all-return time-outs a driver completes a read at once with what it holds, and
// nothing here asks the queue query first: some drivers fail it or report too little. Wine
// keeps a read pending until its whole count has come, whatever the time-outs; so may a
// driver that does not honour them. Such a read stays with the driver in the port's buffer
// and the call returns; the next call cancels it, and the characters it had taken are handed
// out as soon as the driver gives it back.
IoResult Win32CommPort::DoReadFile(TransferRecord&, std::uint8_t* buffer, std::uint32_t count,
                                   std::uint32_t& got) {
    if (m_readPending) {
        IoResult r = CollectRead();
        if (r == IoResult::Pending && !m_readCancelled) {
            m_sys.CancelIo(m_d->Port, m_d->Read);
            m_readCancelled = true;
            m_callsSinceCancel = 0;
            r = CollectRead();
        }
        // A driver that keeps even a cancelled read has stopped serving the port.
        if (r == IoResult::Pending && ++m_callsSinceCancel > kCancelledReadCalls) {
            m_stuck = true;
            MarkGone();
            return IoResult::Gone;
        }
        if (r == IoResult::Pending) return IoResult::Done;
        if (r != IoResult::Done) return r;
    }
    got = HandOut(buffer, count);
    if (got == count) return IoResult::Done;
    const IoResult r = StartRead(count - got);
    if (r == IoResult::Done) got += HandOut(buffer + got, count - got);
    // Characters already taken are the caller's; a failure shows again on the next call.
    if (r == IoResult::Pending || got > 0) return IoResult::Done;
    return r;
}

IoResult Win32CommPort::StartRead(std::uint32_t count) {
    std::vector<std::uint8_t>& b = m_d->ReadBuffer;
    if (b.size() < count) b.resize(count);
    Renew(m_d->Read);
    const DWORD error = m_sys.ReadFile(m_d->Port, b.data(), count, m_d->Read);
    if (error != ERROR_SUCCESS && error != ERROR_IO_PENDING) return Failure(error);
    m_readPending = true;
    return CollectRead();
}

IoResult Win32CommPort::CollectRead() {
    DWORD n = 0;
    const DWORD error = m_sys.GetOverlappedResult(m_d->Port, m_d->Read, n, 0);
    if (error == ERROR_IO_INCOMPLETE) return IoResult::Pending;
    m_readPending = false;
    const bool cancelled = std::exchange(m_readCancelled, false);
    if (error != ERROR_SUCCESS && !(cancelled && error == ERROR_OPERATION_ABORTED))
        return Failure(error);
    m_heldAt = 0;
    m_held = std::min<std::size_t>(n, m_d->ReadBuffer.size());
    return IoResult::Done;
}

std::uint32_t Win32CommPort::HandOut(std::uint8_t* buffer, std::uint32_t count) {
    const std::size_t n = std::min<std::size_t>(count, m_held);
    if (n > 0) std::memcpy(buffer, m_d->ReadBuffer.data() + m_heldAt, n);
    m_heldAt += n;
    m_held -= n;
    return static_cast<std::uint32_t>(n);
}

IoResult Win32CommPort::DoWriteFile(TransferRecord& transfer, const std::uint8_t* buffer,
                                    std::uint32_t count, std::uint32_t& /*written*/) {
    if (m_writePending) return IoResult::Failed;
    Renew(m_d->Write);
    if (transfer.Event) transfer.Event->Reset();
    // A write the driver finished within the call (wine does whenever the device has room)
    // is queued like every other: its completion is for the next query to find.
    const DWORD error = m_sys.WriteFile(m_d->Port, buffer, count, m_d->Write);
    if (error != ERROR_SUCCESS && error != ERROR_IO_PENDING) return Failure(error);
    m_writePending = true;
    m_writeTransfer = &transfer;
    return IoResult::Pending;
}

IoResult Win32CommPort::DoGetOverlappedResult(TransferRecord&, std::uint32_t& transferred) {
    if (!m_writePending) return IoResult::Failed;
    DWORD n = 0;
    const DWORD error = m_sys.GetOverlappedResult(m_d->Port, m_d->Write, n, 0);
    if (error == ERROR_IO_INCOMPLETE) return IoResult::Pending;
    m_writePending = false;
    if (error != ERROR_SUCCESS) return Failure(error);
    transferred = n;
    if (m_writeTransfer && m_writeTransfer->Event) m_writeTransfer->Event->Set();
    return IoResult::Done;
}

bool Win32CommPort::DoClearCommError(std::uint32_t& errors, CommStatus& status) {
    DWORD mask = 0;
    COMSTAT stat{};
    if (!Succeeded(m_sys.ClearCommError(m_d->Port, mask, stat))) return false;
    errors = mask;
    status.Flags = static_cast<std::uint8_t>(
        (stat.fCtsHold ? kCtsHold : 0) | (stat.fDsrHold ? kDsrHold : 0) |
        (stat.fRlsdHold ? kRlsdHold : 0) | (stat.fXoffHold ? kXoffHold : 0) |
        (stat.fXoffSent ? kXoffSent : 0));
    status.InQueue = stat.cbInQue;
    status.OutQueue = stat.cbOutQue;
    return true;
}

// A driver without modem lines (ERROR_NOT_SUPPORTED) shows every lamp off.
bool Win32CommPort::DoGetCommModemStatus(std::uint32_t& modemStatus) {
    DWORD lines = 0;
    const DWORD error = m_sys.GetCommModemStatus(m_d->Port, lines);
    if (error == ERROR_NOT_SUPPORTED) lines = 0;
    else if (!Succeeded(error)) return false;
    modemStatus = lines;
    return true;
}

// Transfers still queued are thrown away rather than waited for. DTR and RTS go low before
// the close, on drivers that would keep them too. Records and a buffer the driver never let
// go of (wine may keep a cancelled transfer on a stalled pseudo-terminal) are left allocated
// rather than reused.
bool Win32CommPort::DoCloseHandle() {
    const HANDLE port = m_d->Port;
    m_sys.PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
    if (m_writePending && !m_d->Release(m_d->Write)) m_stuck = true;
    if (m_readPending && !m_d->Release(m_d->Read)) m_stuck = true;
    m_writePending = m_readPending = false;
    m_sys.EscapeCommFunction(port, CLRDTR);
    m_sys.EscapeCommFunction(port, CLRRTS);
    m_d->Port = INVALID_HANDLE_VALUE;
    const bool closed = m_sys.Close(port) == ERROR_SUCCESS;
    if (m_stuck) static_cast<void>(m_d.release());
    return closed;
}

bool Win32DeviceProbe::Opens(const std::string& devicePath) {
    HANDLE h = INVALID_HANDLE_VALUE;
    if (m_sys.Open(devicePath, false, h) != ERROR_SUCCESS) return false;
    m_sys.Close(h);
    return true;
}

}  // namespace kvartix
