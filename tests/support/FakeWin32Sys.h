#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "serial/win32/Win32Sys.h"

namespace kvartix::test {

// A Windows serial driver as the win32 backend sees it through Win32Sys: one device, the
// transfers it holds by record, and the ways real drivers differ. Single-threaded: what the
// far end does happens between the port's calls.
class FakeWin32Sys final : public Win32Sys {
  public:
    // What the driver had before the port configured it.
    DCB Dcb = [] {
        DCB d{};
        d.DCBlength = sizeof d;
        d.BaudRate = 9600;
        d.ByteSize = 8;
        d.ErrorChar = '?';
        d.EofChar = 0x1A;
        d.EvtChar = 0x7E;
        d.wReserved1 = 0x55;
        return d;
    }();
    COMMTIMEOUTS Timeouts{};
    DWORD InQueue = 0, OutQueue = 0, Mask = 0;

    std::vector<std::uint8_t> FarEnd;  // received, not yet read
    std::vector<std::uint8_t> Line;    // written by the port
    bool KeepsReads = false;      // a read stays pending until its whole count has come (wine)
    bool UnderReports = false;    // the queue query says nothing is waiting
    bool KeepsWrites = false;     // a write stays pending
    bool KeepsCancelled = false;  // a cancelled transfer is never given back
    DWORD Errors = 0;             // CE_ bits, cleared by the query
    COMSTAT Stat{};               // the hold flags the query reports
    DWORD ModemLines = MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON;
    std::map<std::string, DWORD> Fails;  // call name: the error it answers from now on

    std::vector<std::string> Calls;  // purge, cancel, CLRDTR, CLRRTS, close of the port
    std::vector<DWORD> Waits;        // the wait of every result query
    int OpenHandles = 0;

    // Characters from the far end; a read the driver keeps takes them first.
    void Arrive(const std::vector<std::uint8_t>& bytes) {
        FarEnd.insert(FarEnd.end(), bytes.begin(), bytes.end());
        for (auto& [record, t] : m_transfers)
            if (t.Read && !t.Complete) Feed(t);
    }
    bool Holds(const OVERLAPPED& record) const { return m_transfers.count(&record) > 0; }

    DWORD Open(const std::string&, bool, HANDLE& port) override {
        if (const DWORD e = Failing("Open")) return e;
        port = NewHandle();
        m_port = port;
        return ERROR_SUCCESS;
    }
    DWORD Close(HANDLE h) override {
        if (h == m_port) Calls.push_back("close");
        --OpenHandles;
        return ERROR_SUCCESS;
    }
    DWORD NewEvent(HANDLE& event) override {
        event = NewHandle();
        return ERROR_SUCCESS;
    }
    DWORD GetCommState(HANDLE, DCB& dcb) override {
        if (const DWORD e = Failing("GetCommState")) return e;
        dcb = Dcb;
        return ERROR_SUCCESS;
    }
    DWORD SetCommState(HANDLE, const DCB& dcb) override {
        if (const DWORD e = Failing("SetCommState")) return e;
        Dcb = dcb;
        return ERROR_SUCCESS;
    }
    DWORD SetupComm(HANDLE, DWORD in, DWORD out) override {
        InQueue = in;
        OutQueue = out;
        return Failing("SetupComm");
    }
    DWORD SetCommTimeouts(HANDLE, const COMMTIMEOUTS& t) override {
        Timeouts = t;
        return Failing("SetCommTimeouts");
    }
    DWORD SetCommMask(HANDLE, DWORD mask) override {
        Mask = mask;
        return Failing("SetCommMask");
    }
    DWORD ClearCommError(HANDLE, DWORD& errors, COMSTAT& status) override {
        if (const DWORD e = Failing("ClearCommError")) return e;
        errors = std::exchange(Errors, 0);
        status = Stat;
        status.cbInQue = UnderReports ? 0 : static_cast<DWORD>(FarEnd.size());
        return ERROR_SUCCESS;
    }
    DWORD GetCommModemStatus(HANDLE, DWORD& lines) override {
        if (const DWORD e = Failing("GetCommModemStatus")) return e;
        lines = ModemLines;
        return ERROR_SUCCESS;
    }
    DWORD PurgeComm(HANDLE, DWORD flags) override {
        Calls.push_back("purge");
        if (flags & PURGE_RXCLEAR) FarEnd.clear();
        return ERROR_SUCCESS;
    }
    DWORD EscapeCommFunction(HANDLE, DWORD function) override {
        Calls.push_back(function == CLRDTR ? "CLRDTR" : function == CLRRTS ? "CLRRTS" : "escape");
        return ERROR_SUCCESS;
    }
    DWORD ReadFile(HANDLE, void* buffer, DWORD count, OVERLAPPED& record) override {
        if (const DWORD e = Failing("ReadFile")) return e;
        Transfer& t = m_transfers[&record] = {true, static_cast<std::uint8_t*>(buffer), count};
        Feed(t);
        if (!KeepsReads) t.Complete = true;
        return t.Complete ? ERROR_SUCCESS : ERROR_IO_PENDING;
    }
    DWORD WriteFile(HANDLE, const void* buffer, DWORD count, OVERLAPPED& record) override {
        if (const DWORD e = Failing("WriteFile")) return e;
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        m_transfers[&record] = {false, nullptr, count, count, !KeepsWrites};
        if (KeepsWrites) return ERROR_IO_PENDING;
        Line.insert(Line.end(), p, p + count);
        return ERROR_SUCCESS;
    }
    DWORD GetOverlappedResult(HANDLE, OVERLAPPED& record, DWORD& transferred,
                              DWORD waitMs) override {
        Waits.push_back(waitMs);
        transferred = 0;
        if (const DWORD e = Failing("GetOverlappedResult")) return e;
        auto it = m_transfers.find(&record);
        if (it == m_transfers.end()) return ERROR_INVALID_PARAMETER;
        if (!it->second.Complete) return ERROR_IO_INCOMPLETE;
        transferred = it->second.Done;
        const DWORD error = it->second.Error;
        m_transfers.erase(it);
        return error;
    }
    DWORD CancelIo(HANDLE, OVERLAPPED& record) override {
        Calls.push_back("cancel");
        auto it = m_transfers.find(&record);
        if (it == m_transfers.end()) return ERROR_NOT_FOUND;
        if (!KeepsCancelled && !it->second.Complete) {
            it->second.Complete = true;
            it->second.Error = ERROR_OPERATION_ABORTED;
        }
        return ERROR_SUCCESS;
    }

  private:
    struct Transfer {
        bool Read = false;
        std::uint8_t* Buffer = nullptr;  // where the driver writes what it reads
        DWORD Count = 0;
        DWORD Done = 0;
        bool Complete = false;
        DWORD Error = ERROR_SUCCESS;
    };
    void Feed(Transfer& t) {
        const DWORD n = std::min<DWORD>(t.Count - t.Done, static_cast<DWORD>(FarEnd.size()));
        std::copy_n(FarEnd.begin(), n, t.Buffer + t.Done);
        FarEnd.erase(FarEnd.begin(), FarEnd.begin() + n);
        t.Done += n;
        if (t.Done == t.Count) t.Complete = true;
    }
    DWORD Failing(const std::string& call) const {
        const auto it = Fails.find(call);
        return it == Fails.end() ? ERROR_SUCCESS : it->second;
    }
    HANDLE NewHandle() {
        ++OpenHandles;
        return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x100 + m_next++));
    }

    std::map<const OVERLAPPED*, Transfer> m_transfers;
    HANDLE m_port = nullptr;
    int m_next = 0;
};

}  // namespace kvartix::test
