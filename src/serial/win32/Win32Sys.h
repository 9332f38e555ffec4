#pragma once

// windows.h first: CommTypes.h, included after it by the backend, checks its numbers against
// the macros.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace kvartix {

// The kernel32 calls of the win32 backend, one method each, so that a test can play a driver:
// one that keeps a read pending, fails the queue query, holds a cancelled record, or answers
// every call with the code of a removed device. Each returns the call's error, ERROR_SUCCESS
// when it worked (GetLastError taken at once, so nothing in between can change it).
class Win32Sys {
  public:
    virtual ~Win32Sys() = default;

    // CreateFileA, read and write, no sharing.
    virtual DWORD Open(const std::string& path, bool overlapped, HANDLE& port) = 0;
    virtual DWORD Close(HANDLE handle) = 0;
    // A manual-reset event for an overlapped record.
    virtual DWORD NewEvent(HANDLE& event) = 0;

    virtual DWORD GetCommState(HANDLE port, DCB& dcb) = 0;
    virtual DWORD SetCommState(HANDLE port, const DCB& dcb) = 0;
    virtual DWORD SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue) = 0;
    virtual DWORD SetCommTimeouts(HANDLE port, const COMMTIMEOUTS& timeouts) = 0;
    virtual DWORD SetCommMask(HANDLE port, DWORD mask) = 0;
    virtual DWORD ClearCommError(HANDLE port, DWORD& errors, COMSTAT& status) = 0;
    virtual DWORD GetCommModemStatus(HANDLE port, DWORD& lines) = 0;
    virtual DWORD PurgeComm(HANDLE port, DWORD flags) = 0;
    virtual DWORD EscapeCommFunction(HANDLE port, DWORD function) = 0;

    // Overlapped: ERROR_IO_PENDING means the driver holds the buffer and the record until
    // a result query says it is done.
    virtual DWORD ReadFile(HANDLE port, void* buffer, DWORD count, OVERLAPPED& record) = 0;
    virtual DWORD WriteFile(HANDLE port, const void* buffer, DWORD count,
                            OVERLAPPED& record) = 0;
    // Waits up to waitMs for the transfer; ERROR_IO_INCOMPLETE while the driver still has it.
    virtual DWORD GetOverlappedResult(HANDLE port, OVERLAPPED& record, DWORD& transferred,
                                      DWORD waitMs) = 0;
    virtual DWORD CancelIo(HANDLE port, OVERLAPPED& record) = 0;  // CancelIoEx
};

// The real calls.
Win32Sys& Kernel32();

}  // namespace kvartix
