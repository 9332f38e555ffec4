#include <algorithm>
#include <cstring>

#include "engine/Engine.h"

namespace kvartix {

// Every byte after the session's first read goes back in order; the bytes gathered while a
// write is in flight go out together in one write from the buffer they were read into.
void Engine::RunLoopbackPath() {
    std::uint8_t* buffer = m_state.CurrentBuffer();
    const std::int32_t room = m_state.ReadAmount - m_state.LoopbackPending;
    if (room > 0) {
        std::uint32_t n = 0;
        if (!Read(buffer + m_state.LoopbackPending, room, n, "error1")) return;
        if (m_state.FirstData) {
            n = 0;
            m_state.FirstData = false;
        }
        m_counters.Received += n;
        m_counters.ReceivedThisSecond += n;
        m_state.LoopbackPending += static_cast<std::int32_t>(n);
    }
    if (m_state.LoopbackPending == 0) return;
    std::uint32_t transferred = 0;
    if (!WriteGateOpen(transferred, "write ")) return;
    const IoResult r = Write(buffer, m_state.LoopbackPending, "write ");
    if (r == IoResult::Gone) return;
    m_state.WritePending = r == IoResult::Pending;
    m_state.LoopbackPending = 0;
    m_state.SwitchBuffer();
}

void Engine::RunTerminalPath() {
    std::uint8_t* buffer = m_state.CurrentBuffer();
    std::uint32_t n = 0;
    if (!Read(buffer, m_state.ReadAmount, n, "error 1")) return;
    m_counters.TerminalReceived += n;
    if (n > 0)
        if (TerminalText* text = m_view.Terminal())
            text->Receive(buffer, n, m_terminalBreaks);

    if (TerminalTxText.empty()) return;
    std::uint32_t transferred = 0;
    if (!WriteGateOpen(transferred, "write ")) return;
    // The rest waits for the next write rather than being cut off.
    const auto count = std::min<std::size_t>(TerminalTxText.size(), kIoBufferSize);
    std::memcpy(buffer, TerminalTxText.data(), count);
    const IoResult r = Write(buffer, static_cast<std::int32_t>(count), "write ");
    if (r == IoResult::Gone) return;
    m_state.WritePending = r == IoResult::Pending;
    TerminalTxText.erase(0, count);
    m_state.SwitchBuffer();
}

}  // namespace kvartix
