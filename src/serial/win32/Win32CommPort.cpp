#include "serial/win32/Win32CommPort.h"

#include <algorithm>

#include "serial/CommTypes.h"

// After our own headers: windows.h defines the driver's constants as macros with the values
// CommTypes.h gives them.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace kvartix {
namespace {

// The bytes of a read are already in the driver's queue; this only bounds a driver that
// takes its time handing them over.
constexpr DWORD kQueuedReadWaitMs = 1000;

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

// Cancels a transfer and waits a bounded time for the driver to let go of its record;
// false when it still holds it.
bool Cancel(HANDLE port, OVERLAPPED& ov, DWORD& transferred) {
    transferred = 0;
    ::CancelIoEx(port, &ov);
    if (::WaitForSingleObject(ov.hEvent, kQueuedReadWaitMs) != WAIT_OBJECT_0) return false;
    ::GetOverlappedResult(port, &ov, &transferred, FALSE);
    return true;
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

struct Win32CommPort::Handles {
    HANDLE Port = INVALID_HANDLE_VALUE;
    OVERLAPPED Read{};
    OVERLAPPED Write{};
    DCB Driver{};  // as last read, for the fields the configuration does not carry

    ~Handles() {
        if (Read.hEvent) ::CloseHandle(Read.hEvent);
        if (Write.hEvent) ::CloseHandle(Write.hEvent);
    }
};

std::unique_ptr<Win32CommPort> Win32CommPort::Open(const std::string& devicePath, bool overlapped) {
    auto h = std::make_unique<Handles>();
    h->Read.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    h->Write.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!h->Read.hEvent || !h->Write.hEvent) return nullptr;
    h->Port = ::CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (h->Port == INVALID_HANDLE_VALUE) return nullptr;
    h->Driver.DCBlength = sizeof(DCB);
    return std::unique_ptr<Win32CommPort>(new Win32CommPort(std::move(h)));
}

Win32CommPort::Win32CommPort(std::unique_ptr<Handles> handles) : m_h(std::move(handles)) {}

Win32CommPort::~Win32CommPort() {
    CloseHandle();
}

IoResult Win32CommPort::Failure(unsigned long error) {
    if (!AdapterGone(error)) return IoResult::Failed;
    MarkGone();
    return IoResult::Gone;
}

// A configuration call that meets a vanished device says so too.
bool Win32CommPort::Succeeded(int ok) {
    if (!ok) Failure(::GetLastError());
    return ok != 0;
}

bool Win32CommPort::DoGetCommState(LineConfig& config) {
    DCB d{};
    d.DCBlength = sizeof d;
    if (!Succeeded(::GetCommState(m_h->Port, &d))) return false;
    m_h->Driver = d;
    ToConfig(d, config);
    return true;
}

bool Win32CommPort::DoSetCommState(const LineConfig& config) {
    DCB d = m_h->Driver;
    d.DCBlength = sizeof d;
    FromConfig(config, d);
    return Succeeded(::SetCommState(m_h->Port, &d));
}

bool Win32CommPort::DoSetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) {
    return Succeeded(::SetupComm(m_h->Port, rxQueue, txQueue));
}

bool Win32CommPort::DoSetCommTimeouts(const CommTimeouts& t) {
    COMMTIMEOUTS w{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                   t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
    return Succeeded(::SetCommTimeouts(m_h->Port, &w));
}

bool Win32CommPort::DoSetCommMask(std::uint32_t mask) {
    return Succeeded(::SetCommMask(m_h->Port, mask));
}

// Wine keeps a read of an empty queue pending despite the immediate time-outs, where
// Windows returns nothing at once: so only what the driver reports queued is asked for.
IoResult Win32CommPort::DoReadFile(TransferRecord&, std::uint8_t* buffer, std::uint32_t count,
                                   std::uint32_t& got) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!::ClearCommError(m_h->Port, &errors, &stat)) return Failure(::GetLastError());
    m_errors |= errors;
    const DWORD want = std::min<DWORD>(count, stat.cbInQue);
    if (want == 0) return IoResult::Done;
    OVERLAPPED& ov = m_h->Read;
    ::ResetEvent(ov.hEvent);
    if (!::ReadFile(m_h->Port, buffer, want, nullptr, &ov)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) return Failure(error);
        if (::WaitForSingleObject(ov.hEvent, kQueuedReadWaitMs) != WAIT_OBJECT_0) {
            // A driver that keeps even a cancelled read has stopped serving the port.
            DWORD partial = 0;
            if (!Cancel(m_h->Port, ov, partial)) {
                m_stuck = true;
                MarkGone();
                return IoResult::Gone;
            }
            got = partial;
            return IoResult::Done;
        }
    }
    DWORD n = 0;
    if (!::GetOverlappedResult(m_h->Port, &ov, &n, TRUE)) return Failure(::GetLastError());
    got = n;
    return IoResult::Done;
}

IoResult Win32CommPort::DoWriteFile(TransferRecord& transfer, const std::uint8_t* buffer,
                                    std::uint32_t count, std::uint32_t& /*written*/) {
    if (m_writePending) return IoResult::Failed;
    OVERLAPPED& ov = m_h->Write;
    ::ResetEvent(ov.hEvent);
    if (transfer.Event) transfer.Event->Reset();
    // A write the driver finished within the call (wine does whenever the device has room)
    // is queued like every other: its completion is for the next query to find.
    if (!::WriteFile(m_h->Port, buffer, count, nullptr, &ov)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) return Failure(error);
    }
    m_writePending = true;
    m_writeTransfer = &transfer;
    return IoResult::Pending;
}

IoResult Win32CommPort::DoGetOverlappedResult(TransferRecord&, std::uint32_t& transferred) {
    if (!m_writePending) return IoResult::Failed;
    DWORD n = 0;
    if (!::GetOverlappedResult(m_h->Port, &m_h->Write, &n, FALSE)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_INCOMPLETE) return IoResult::Pending;
        m_writePending = false;
        return Failure(error);
    }
    m_writePending = false;
    transferred = n;
    if (m_writeTransfer && m_writeTransfer->Event) m_writeTransfer->Event->Set();
    return IoResult::Done;
}

bool Win32CommPort::DoClearCommError(std::uint32_t& errors, CommStatus& status) {
    DWORD mask = 0;
    COMSTAT stat{};
    if (!::ClearCommError(m_h->Port, &mask, &stat)) {
        Failure(::GetLastError());
        return false;
    }
    errors = m_errors | mask;
    m_errors = 0;
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
    if (!::GetCommModemStatus(m_h->Port, &lines)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_NOT_SUPPORTED) {
            Failure(error);
            return false;
        }
        lines = 0;
    }
    modemStatus = lines;
    return true;
}

// A write still queued is thrown away rather than waited for. DTR and RTS go low before the
// close, on drivers that would keep them too. Records a driver never let go of (wine may keep
// a cancelled transfer on a stalled pseudo-terminal) are left allocated rather than reused.
bool Win32CommPort::DoCloseHandle() {
    const HANDLE port = m_h->Port;
    ::PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
    if (m_writePending) {
        DWORD n = 0;
        if (!Cancel(port, m_h->Write, n)) m_stuck = true;
        m_writePending = false;
    }
    ::EscapeCommFunction(port, CLRDTR);
    ::EscapeCommFunction(port, CLRRTS);
    m_h->Port = INVALID_HANDLE_VALUE;
    const bool closed = ::CloseHandle(port);
    if (m_stuck) static_cast<void>(m_h.release());
    return closed;
}

bool Win32DeviceProbe::Opens(const std::string& devicePath) {
    const HANDLE h = ::CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

}  // namespace kvartix
