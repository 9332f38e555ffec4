#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "serial/CommTypes.h"

namespace kvartix {

enum class TestMode { Bert, Loopback, Terminal };

inline constexpr std::int32_t kIoBufferSize = 65000;

// Line-status bits: the driver's hold flags with the modem lines folded in.
inline constexpr std::uint8_t kCtsInactive = 0x01;
inline constexpr std::uint8_t kDsrInactive = 0x02;
inline constexpr std::uint8_t kDcdInactive = 0x04;
inline constexpr std::uint8_t kXoffReceivedHold = 0x08;
inline constexpr std::uint8_t kXoffSentHold = 0x10;
using LineStatus = std::uint8_t;
// Every lamp, for the first cycle of a session.
inline constexpr LineStatus kAllLineStatusBits =
    kCtsInactive | kDsrInactive | kDcdInactive | kXoffReceivedHold | kXoffSentHold;

// Driver errors outside the three with rows of their own count as "other".
inline constexpr std::uint32_t kOtherDriverErrors = ~(CE_OVERRUN | CE_RXPARITY | CE_FRAME);
static_assert(kOtherDriverErrors == 0xFFFFFFF1);

struct DriverErrorCounters {
    std::int32_t ParityErrors = 0;
    std::int32_t OverrunErrors = 0;
    std::int32_t FramingErrors = 0;
    std::int32_t OtherErrors = 0;
};

// The engine's state between cycles.
struct EngineState {
    std::vector<std::uint8_t> IoBufferA = std::vector<std::uint8_t>(kIoBufferSize);
    std::vector<std::uint8_t> IoBufferB = std::vector<std::uint8_t>(kIoBufferSize);
    bool CurrentIsA = true;  // never reset at a session start
    bool WritePending = false;
    std::int32_t PendingWriteSize = 0;  // characters in the pending write
    std::int32_t ReadAmount = 0;
    std::int32_t WriteAmount = 0;
    std::int32_t LoopbackPending = 0;
    std::int32_t TxPosition = 0;
    bool FirstData = true;
    LineStatus PrevLineStatus = 0;
    std::int32_t TickCount = 0;

    std::uint8_t* CurrentBuffer() { return CurrentIsA ? IoBufferA.data() : IoBufferB.data(); }
    const std::uint8_t* CurrentBuffer() const {
        return CurrentIsA ? IoBufferA.data() : IoBufferB.data();
    }
    void SwitchBuffer() { CurrentIsA = !CurrentIsA; }
};

// Received characters, errors and the time bases of the statistics.
struct SessionCounters {
    std::int64_t Received = 0;
    // Characters of the writes the driver completed; the pending one is not yet among them.
    std::int64_t Sent = 0;
    // What a terminal session received: its statistics cells count none, its record does.
    std::int64_t TerminalReceived = 0;
    std::int64_t ReceivedThisSecond = 0;
    std::int64_t Errors = 0;
    std::int64_t StartTimeUs = 0;
    std::int64_t LastUpdateTimeUs = 0;
    int LastUpdateSecond = 0;
    std::int64_t ShownReceived = -1;
    std::int64_t ShownErrors = 0;
    // Output held by a received Xoff: since when (none: not held) and for how long before.
    std::optional<std::int64_t> HeldSinceUs;
    std::int64_t HeldUs = 0;
    std::int64_t LastArrivalUs = 0;
    std::optional<std::int64_t> LastXonUs;  // our Xon sent again
    std::int64_t XonResent = 0;

    // How long output has been held by a received Xoff, all told and in its present stretch.
    std::int64_t HeldUsAt(std::int64_t nowUs) const { return HeldUs + HeldForUsAt(nowUs); }
    std::int64_t HeldForUsAt(std::int64_t nowUs) const {
        return HeldSinceUs ? nowUs - *HeldSinceUs : 0;
    }
};

}  // namespace kvartix
