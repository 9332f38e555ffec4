// The win32 backend's calls into kernel32.
#include "serial/win32/Win32Sys.h"

namespace kvartix {
namespace {

DWORD Result(BOOL ok) {
    return ok ? ERROR_SUCCESS : ::GetLastError();
}

class Kernel32Sys final : public Win32Sys {
  public:
    DWORD Open(const std::string& path, bool overlapped, HANDLE& port) override {
        port = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
        return port == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    }
    DWORD Close(HANDLE handle) override { return Result(::CloseHandle(handle)); }
    DWORD NewEvent(HANDLE& event) override {
        event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        return event ? ERROR_SUCCESS : ::GetLastError();
    }

    DWORD GetCommState(HANDLE port, DCB& dcb) override {
        return Result(::GetCommState(port, &dcb));
    }
    DWORD SetCommState(HANDLE port, const DCB& dcb) override {
        DCB copy = dcb;
        return Result(::SetCommState(port, &copy));
    }
    DWORD SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue) override {
        return Result(::SetupComm(port, inQueue, outQueue));
    }
    DWORD SetCommTimeouts(HANDLE port, const COMMTIMEOUTS& timeouts) override {
        COMMTIMEOUTS copy = timeouts;
        return Result(::SetCommTimeouts(port, &copy));
    }
    DWORD SetCommMask(HANDLE port, DWORD mask) override {
        return Result(::SetCommMask(port, mask));
    }
    DWORD ClearCommError(HANDLE port, DWORD& errors, COMSTAT& status) override {
        return Result(::ClearCommError(port, &errors, &status));
    }
    DWORD GetCommModemStatus(HANDLE port, DWORD& lines) override {
        return Result(::GetCommModemStatus(port, &lines));
    }
    DWORD PurgeComm(HANDLE port, DWORD flags) override {
        return Result(::PurgeComm(port, flags));
    }
    DWORD EscapeCommFunction(HANDLE port, DWORD function) override {
        return Result(::EscapeCommFunction(port, function));
    }

    DWORD ReadFile(HANDLE port, void* buffer, DWORD count, OVERLAPPED& record) override {
        return Result(::ReadFile(port, buffer, count, nullptr, &record));
    }
    DWORD WriteFile(HANDLE port, const void* buffer, DWORD count,
                    OVERLAPPED& record) override {
        return Result(::WriteFile(port, buffer, count, nullptr, &record));
    }
    // Waits on the record's own event: the read and the write share the handle, which
    // would signal for either.
    DWORD GetOverlappedResult(HANDLE port, OVERLAPPED& record, DWORD& transferred,
                              DWORD waitMs) override {
        transferred = 0;
        if (waitMs > 0 && ::WaitForSingleObject(record.hEvent, waitMs) != WAIT_OBJECT_0)
            return ERROR_IO_INCOMPLETE;
        return Result(::GetOverlappedResult(port, &record, &transferred, FALSE));
    }
    DWORD CancelIo(HANDLE port, OVERLAPPED& record) override {
        return Result(::CancelIoEx(port, &record));
    }
};

}  // namespace

Win32Sys& Kernel32() {
    static Kernel32Sys sys;
    return sys;
}

}  // namespace kvartix
