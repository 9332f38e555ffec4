#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>

#include "serial/CommPort.h"

namespace kvartix::test {

// A loop without a line rate: what a write hands over is back for the next read, less the
// stretch of the stream the test has it swallow. It can vanish at a given read, after which
// the front answers every transfer with Gone.
class EchoPort final : public CommPort {
  public:
    struct Script {
        std::int64_t SwallowFrom = 0;  // offset in everything written
        std::int64_t SwallowCount = 0;
        int GoneAtRead = 0;  // 0: never
        // The last LagChars written come back only after LagReads reads without a write.
        int LagReads = 0;
        std::size_t LagChars = 0;
    };
    explicit EchoPort(Script s) : m_script(s) {}

    std::shared_ptr<int> Closes = std::make_shared<int>(0);  // outlives the port

  protected:
    bool DoGetCommState(LineConfig& c) override { return c = m_config, true; }
    bool DoSetCommState(const LineConfig& c) override { return m_config = c, true; }
    bool DoSetupComm(std::uint32_t, std::uint32_t) override { return true; }
    bool DoSetCommTimeouts(const CommTimeouts&) override { return true; }
    bool DoSetCommMask(std::uint32_t) override { return true; }
    IoResult DoReadFile(TransferRecord&, std::uint8_t* buffer, std::uint32_t count,
                        std::uint32_t& got) override {
        if (++m_reads == m_script.GoneAtRead) {
            MarkGone();
            return IoResult::Gone;
        }
        std::size_t ready = m_rx.size();
        if (++m_readsSinceWrite <= m_script.LagReads) ready -= std::min(ready, m_script.LagChars);
        got = static_cast<std::uint32_t>(std::min<std::size_t>(count, ready));
        std::copy_n(m_rx.begin(), got, buffer);
        m_rx.erase(m_rx.begin(), m_rx.begin() + got);
        return IoResult::Done;
    }
    IoResult DoWriteFile(TransferRecord&, const std::uint8_t* buffer, std::uint32_t count,
                         std::uint32_t& /*written*/) override {
        for (std::uint32_t i = 0; i < count; ++i, ++m_written)
            if (m_written < m_script.SwallowFrom ||
                m_written >= m_script.SwallowFrom + m_script.SwallowCount)
                m_rx.push_back(buffer[i]);
        m_pending = count;
        m_readsSinceWrite = 0;
        return IoResult::Pending;
    }
    IoResult DoGetOverlappedResult(TransferRecord&, std::uint32_t& transferred) override {
        transferred = m_pending;
        return IoResult::Done;
    }
    bool DoClearCommError(std::uint32_t& errors, CommStatus& status) override {
        errors = 0;
        status = CommStatus{0, static_cast<std::uint32_t>(m_rx.size()), 0};
        return true;
    }
    bool DoGetCommModemStatus(std::uint32_t& m) override {
        m = MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON;
        return true;
    }
    bool DoCloseHandle() override { return ++*Closes, true; }

  private:
    Script m_script;
    LineConfig m_config;
    std::deque<std::uint8_t> m_rx;
    std::int64_t m_written = 0;
    std::uint32_t m_pending = 0;
    int m_reads = 0;
    int m_readsSinceWrite = 0;
};

// Hands out one prepared port.
struct OneOpener final : PortOpener {
    explicit OneOpener(std::unique_ptr<CommPort> port) : Port(std::move(port)) {}
    std::unique_ptr<CommPort> Open(const std::string&, bool, PortRefusal&) override {
        return ++Opens, std::move(Port);
    }
    std::unique_ptr<CommPort> Port;
    int Opens = 0;
};

}  // namespace kvartix::test
