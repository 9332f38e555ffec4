#pragma once

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "serial/CommPort.h"

namespace kvartix::test {

// A driver whose every answer the test scripts. Unscripted calls succeed.
class FakeCommPort final : public CommPort {
public:
    struct Script {
        bool FailGetCommState = false;
        bool FailSetupComm = false;
        bool FailSetCommState = false;
        bool FailSetCommTimeouts = false;
        bool FailSetCommMask = false;
        bool FailClose = false;
        bool FailClearCommError = false;
        std::optional<std::uint32_t> Modem = MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON;  // none: fails
        std::deque<std::uint32_t> ErrorMasks;    // one per query, then 0
        std::uint8_t StatusFlags = 0;
        std::deque<std::vector<std::uint8_t>> Reads;  // one batch per read, then nothing
        IoResult ReadResult = IoResult::Done;
        std::deque<IoResult> WriteResults;       // then Pending
        std::deque<IoResult> Completions;        // then Done
    };

    explicit FakeCommPort(std::shared_ptr<std::vector<std::string>> log = nullptr)
        : Log(log ? log : std::make_shared<std::vector<std::string>>()) {}

    bool IsOpen() const { return m_open; }

    Script S;
    LineConfig Config;
    CommTimeouts Timeouts;
    std::shared_ptr<std::vector<std::string>> Log;
    std::vector<std::vector<std::uint8_t>> Writes;
    std::vector<std::uint32_t> ReadAsked;
    int ReadCalls = 0;
    int CompletionQueries = 0;

  protected:
    bool DoGetCommState(LineConfig& c) override {
        Log->push_back("GetCommState");
        if (S.FailGetCommState) return false;
        c = Config;
        return true;
    }
    bool DoSetCommState(const LineConfig& c) override {
        const bool flow = c.fOutxCtsFlow || c.fOutxDsrFlow || c.fOutX || c.fInX ||
                          c.fRtsControl == RTS_CONTROL_HANDSHAKE;
        Log->push_back(flow ? "SetCommState flow" : "SetCommState");
        if (S.FailSetCommState) return false;
        Config = c;
        return true;
    }
    bool DoSetupComm(std::uint32_t rx, std::uint32_t tx) override {
        Log->push_back("SetupComm " + std::to_string(rx) + " " + std::to_string(tx));
        return !S.FailSetupComm;
    }
    bool DoSetCommTimeouts(const CommTimeouts& t) override {
        Log->push_back("SetCommTimeouts");
        Timeouts = t;
        return !S.FailSetCommTimeouts;
    }
    bool DoSetCommMask(std::uint32_t m) override {
        Log->push_back("SetCommMask " + std::to_string(m));
        return !S.FailSetCommMask;
    }
    IoResult DoReadFile(TransferRecord&, std::uint8_t* buf, std::uint32_t count,
                        std::uint32_t& got) override {
        got = 0;
        ++ReadCalls;
        ReadAsked.push_back(count);
        if (S.ReadResult != IoResult::Done) return S.ReadResult;
        if (S.Reads.empty()) return IoResult::Done;
        auto& batch = S.Reads.front();
        got = static_cast<std::uint32_t>(std::min<std::size_t>(count, batch.size()));
        std::copy_n(batch.begin(), got, buf);
        batch.erase(batch.begin(), batch.begin() + got);
        if (batch.empty()) S.Reads.pop_front();
        return IoResult::Done;
    }
    IoResult DoWriteFile(TransferRecord&, const std::uint8_t* buf, std::uint32_t count,
                         std::uint32_t& written) override {
        Writes.emplace_back(buf, buf + count);
        IoResult r = IoResult::Pending;
        if (!S.WriteResults.empty()) {
            r = S.WriteResults.front();
            S.WriteResults.pop_front();
        }
        written = r == IoResult::Done ? count : 0;
        m_lastWrite = count;
        return r;
    }
    IoResult DoGetOverlappedResult(TransferRecord&, std::uint32_t& transferred) override {
        ++CompletionQueries;
        IoResult r = IoResult::Done;
        if (!S.Completions.empty()) {
            r = S.Completions.front();
            S.Completions.pop_front();
        }
        transferred = r == IoResult::Done ? m_lastWrite : 0;
        return r;
    }
    bool DoClearCommError(std::uint32_t& errors, CommStatus& status) override {
        errors = 0xDEAD;  // garbage a failing query might leave behind
        status.Flags = 0xFF;
        if (S.FailClearCommError) return false;
        errors = 0;
        if (!S.ErrorMasks.empty()) {
            errors = S.ErrorMasks.front();
            S.ErrorMasks.pop_front();
        }
        status.Flags = S.StatusFlags;
        return true;
    }
    bool DoGetCommModemStatus(std::uint32_t& m) override {
        if (!S.Modem) return false;
        m = *S.Modem;
        return true;
    }
    bool DoCloseHandle() override {
        Log->push_back("CloseHandle");
        m_open = false;
        return !S.FailClose;
    }

private:
    bool m_open = true;
    std::uint32_t m_lastWrite = 0;
};

// Hands out one prepared fake, remembering the path asked for.
class FakeOpener final : public PortOpener {
public:
    std::unique_ptr<CommPort> Open(const std::string& path, bool overlapped,
                                   PortRefusal& why) override {
        Paths.push_back(path);
        Overlapped = overlapped;
        if (!Next) {
            why = Refusal;
            return nullptr;
        }
        Opened = Next.get();
        return std::move(Next);
    }
    std::unique_ptr<FakeCommPort> Next = std::make_unique<FakeCommPort>();
    FakeCommPort* Opened = nullptr;
    PortRefusal Refusal;  // what a refused open says
    std::vector<std::string> Paths;
    bool Overlapped = false;
};

}  // namespace kvartix::test
