#pragma once

#include <cstdint>

namespace kvartix {

// The line configuration record, field for field as the serial driver knows it.
enum DtrControl : std::uint8_t { DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2 };
enum RtsControl : std::uint8_t {
    RTS_CONTROL_DISABLE = 0,
    RTS_CONTROL_ENABLE = 1,
    RTS_CONTROL_HANDSHAKE = 2,
    RTS_CONTROL_TOGGLE = 3
};

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

// Error mask bits.
inline constexpr std::uint32_t CE_RXOVER = 0x0001;
inline constexpr std::uint32_t CE_OVERRUN = 0x0002;
inline constexpr std::uint32_t CE_RXPARITY = 0x0004;
inline constexpr std::uint32_t CE_FRAME = 0x0008;
inline constexpr std::uint32_t CE_BREAK = 0x0010;

// Modem status bits.
inline constexpr std::uint32_t MS_CTS_ON = 0x0010;
inline constexpr std::uint32_t MS_DSR_ON = 0x0020;
inline constexpr std::uint32_t MS_RING_ON = 0x0040;
inline constexpr std::uint32_t MS_RLSD_ON = 0x0080;

inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t MAXDWORD = 0xFFFFFFFF;

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
