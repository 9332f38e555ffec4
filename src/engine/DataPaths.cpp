#include <algorithm>
#include <cstring>

#include "engine/Engine.h"

namespace kvartix {

// Every byte after the session's first read goes back in order; the bytes gathered while a
// write is in flight go out together in one write from the buffer they were read into.
void Engine::RunLoopbackPath() {
    std::uint8_t* buffer = State.CurrentBuffer();
    const std::int32_t room = State.ReadAmount - State.LoopbackPending;
    if (room > 0) {
        std::uint32_t n = 0;
        if (!Read(buffer + State.LoopbackPending, room, n, "error1")) return;
        if (State.FirstData) {
            n = 0;
            State.FirstData = false;
        }
        Counters.Received += n;
        Counters.ReceivedThisSecond += n;
        State.LoopbackPending += static_cast<std::int32_t>(n);
    }
    if (State.LoopbackPending == 0) return;
    std::uint32_t transferred = 0;
    if (!WriteGateOpen(transferred, "write ")) return;
    const IoResult r = Write(buffer, State.LoopbackPending, "write ");
    if (r == IoResult::Gone) return;
    State.WritePending = r == IoResult::Pending;
    State.LoopbackPending = 0;
    State.SwitchBuffer();
}

void Engine::RunTerminalPath() {
    std::uint8_t* buffer = State.CurrentBuffer();
    std::uint32_t n = 0;
    if (!Read(buffer, State.ReadAmount, n, "error 1")) return;
    if (n > 0)
        if (TerminalText* text = m_view.Terminal()) InsertReceived(*text, buffer, n, TerminalBreaks);

    if (TerminalTxText.empty()) return;
    std::uint32_t transferred = 0;
    if (!WriteGateOpen(transferred, "write ")) return;
    // The rest waits for the next write rather than being cut off.
    const auto count = std::min<std::size_t>(TerminalTxText.size(), kIoBufferSize);
    std::memcpy(buffer, TerminalTxText.data(), count);
    const IoResult r = Write(buffer, static_cast<std::int32_t>(count), "write ");
    if (r == IoResult::Gone) return;
    State.WritePending = r == IoResult::Pending;
    TerminalTxText.erase(0, count);
    State.SwitchBuffer();
}

}  // namespace kvartix
