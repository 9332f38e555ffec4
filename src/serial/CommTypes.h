#pragma once

#include <cstdint>

namespace kvartix {

// The Win32 serial API's numbers, which LineConfig, the error and modem masks and the engine's
// tables hold as they are (the Windows backend hands them to the driver unchanged), under
// names no system header defines as macros.
namespace comm {
inline constexpr std::uint8_t kDtrControlDisable = 0;
inline constexpr std::uint8_t kDtrControlEnable = 1;
inline constexpr std::uint8_t kDtrControlHandshake = 2;
inline constexpr std::uint8_t kRtsControlDisable = 0;
inline constexpr std::uint8_t kRtsControlEnable = 1;
inline constexpr std::uint8_t kRtsControlHandshake = 2;
inline constexpr std::uint8_t kRtsControlToggle = 3;
// Error mask bits.
inline constexpr std::uint32_t kCeRxOver = 0x0001;
inline constexpr std::uint32_t kCeOverrun = 0x0002;
inline constexpr std::uint32_t kCeRxParity = 0x0004;
inline constexpr std::uint32_t kCeFrame = 0x0008;
inline constexpr std::uint32_t kCeBreak = 0x0010;
// Modem status bits.
inline constexpr std::uint32_t kMsCtsOn = 0x0010;
inline constexpr std::uint32_t kMsDsrOn = 0x0020;
inline constexpr std::uint32_t kMsRingOn = 0x0040;
inline constexpr std::uint32_t kMsRlsdOn = 0x0080;
// The carrier-detect event of the event mask.
inline constexpr std::uint32_t kEvRlsd = 0x0020;
inline constexpr std::uint32_t kMaxDword = 0xFFFFFFFF;
}  // namespace comm

// The same numbers under the Win32 names, as the code spells them. windows.h defines each of
// these names as a macro: in a file that includes it first, the macro is the name (and must be
// the same number, checked here); in one that includes it later, the macro hides ours from
// there on, with the same number. Either way the spelling kvartix::CE_RXOVER does not survive
// windows.h: after it, qualified code says kvartix::comm::kCeRxOver.
#ifdef DTR_CONTROL_DISABLE
static_assert(DTR_CONTROL_DISABLE == comm::kDtrControlDisable);
#else
inline constexpr std::uint8_t DTR_CONTROL_DISABLE = comm::kDtrControlDisable;
#endif
#ifdef DTR_CONTROL_ENABLE
static_assert(DTR_CONTROL_ENABLE == comm::kDtrControlEnable);
#else
inline constexpr std::uint8_t DTR_CONTROL_ENABLE = comm::kDtrControlEnable;
#endif
#ifdef DTR_CONTROL_HANDSHAKE
static_assert(DTR_CONTROL_HANDSHAKE == comm::kDtrControlHandshake);
#else
inline constexpr std::uint8_t DTR_CONTROL_HANDSHAKE = comm::kDtrControlHandshake;
#endif
#ifdef RTS_CONTROL_DISABLE
static_assert(RTS_CONTROL_DISABLE == comm::kRtsControlDisable);
#else
inline constexpr std::uint8_t RTS_CONTROL_DISABLE = comm::kRtsControlDisable;
#endif
#ifdef RTS_CONTROL_ENABLE
static_assert(RTS_CONTROL_ENABLE == comm::kRtsControlEnable);
#else
inline constexpr std::uint8_t RTS_CONTROL_ENABLE = comm::kRtsControlEnable;
#endif
#ifdef RTS_CONTROL_HANDSHAKE
static_assert(RTS_CONTROL_HANDSHAKE == comm::kRtsControlHandshake);
#else
inline constexpr std::uint8_t RTS_CONTROL_HANDSHAKE = comm::kRtsControlHandshake;
#endif
#ifdef RTS_CONTROL_TOGGLE
static_assert(RTS_CONTROL_TOGGLE == comm::kRtsControlToggle);
#else
inline constexpr std::uint8_t RTS_CONTROL_TOGGLE = comm::kRtsControlToggle;
#endif
#ifdef CE_RXOVER
static_assert(CE_RXOVER == comm::kCeRxOver);
#else
inline constexpr std::uint32_t CE_RXOVER = comm::kCeRxOver;
#endif
#ifdef CE_OVERRUN
static_assert(CE_OVERRUN == comm::kCeOverrun);
#else
inline constexpr std::uint32_t CE_OVERRUN = comm::kCeOverrun;
#endif
#ifdef CE_RXPARITY
static_assert(CE_RXPARITY == comm::kCeRxParity);
#else
inline constexpr std::uint32_t CE_RXPARITY = comm::kCeRxParity;
#endif
#ifdef CE_FRAME
static_assert(CE_FRAME == comm::kCeFrame);
#else
inline constexpr std::uint32_t CE_FRAME = comm::kCeFrame;
#endif
#ifdef CE_BREAK
static_assert(CE_BREAK == comm::kCeBreak);
#else
inline constexpr std::uint32_t CE_BREAK = comm::kCeBreak;
#endif
#ifdef MS_CTS_ON
static_assert(MS_CTS_ON == comm::kMsCtsOn);
#else
inline constexpr std::uint32_t MS_CTS_ON = comm::kMsCtsOn;
#endif
#ifdef MS_DSR_ON
static_assert(MS_DSR_ON == comm::kMsDsrOn);
#else
inline constexpr std::uint32_t MS_DSR_ON = comm::kMsDsrOn;
#endif
#ifdef MS_RING_ON
static_assert(MS_RING_ON == comm::kMsRingOn);
#else
inline constexpr std::uint32_t MS_RING_ON = comm::kMsRingOn;
#endif
#ifdef MS_RLSD_ON
static_assert(MS_RLSD_ON == comm::kMsRlsdOn);
#else
inline constexpr std::uint32_t MS_RLSD_ON = comm::kMsRlsdOn;
#endif
#ifdef EV_RLSD
static_assert(EV_RLSD == comm::kEvRlsd);
#else
inline constexpr std::uint32_t EV_RLSD = comm::kEvRlsd;
#endif
#ifdef MAXDWORD
static_assert(MAXDWORD == comm::kMaxDword);
#else
inline constexpr std::uint32_t MAXDWORD = comm::kMaxDword;
#endif

// The line configuration record, field for field as the serial driver knows it.
struct LineConfig {
    std::uint32_t BaudRate = 9600;
    bool fBinary = true;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    std::uint8_t fDtrControl = DTR_CONTROL_DISABLE;
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    std::uint8_t fRtsControl = RTS_CONTROL_DISABLE;
    bool fAbortOnError = false;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 8;
    std::uint8_t Parity = 0;    // 0..4: none, odd, even, mark, space
    std::uint8_t StopBits = 0;  // 0..2: 1, 1.5, 2
    std::uint8_t XonChar = 0x11;
    std::uint8_t XoffChar = 0x13;
    std::uint8_t ErrorChar = 0;
    std::uint8_t EofChar = 0;
    std::uint8_t EvtChar = 0;

    bool operator==(const LineConfig&) const = default;
};

struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// Status record of a clear-error query. Only the low byte of the flag word carries meaning here.
struct CommStatus {
    std::uint8_t Flags = 0;
    std::uint32_t InQueue = 0;
    std::uint32_t OutQueue = 0;
};

// Bits of CommStatus::Flags.
inline constexpr std::uint8_t kCtsHold = 0x01;
inline constexpr std::uint8_t kDsrHold = 0x02;
inline constexpr std::uint8_t kRlsdHold = 0x04;
inline constexpr std::uint8_t kXoffHold = 0x08;
inline constexpr std::uint8_t kXoffSent = 0x10;

inline constexpr std::uint8_t kXonChar = 0x11;
inline constexpr std::uint8_t kXoffChar = 0x13;

}  // namespace kvartix

namespace kvartix {

// Frames a UART can produce: 1.5 stop bits exist only with 5 data bits, 2 stop bits not with 5.
inline bool FrameSupported(unsigned byteSize, unsigned stopBits) {
    if (byteSize < 5 || byteSize > 8 || stopBits > 2) return false;
    if (stopBits == 1) return byteSize == 5;
    if (stopBits == 2) return byteSize != 5;
    return true;
}

inline double FrameBits(const LineConfig& c) {
    static constexpr double kStop[] = {1.0, 1.5, 2.0};
    return 1.0 + c.ByteSize + (c.Parity != 0 ? 1.0 : 0.0) + kStop[c.StopBits > 2 ? 0 : c.StopBits];
}

}  // namespace kvartix
