#include "serial/posix/PosixLine.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <cmath>

namespace kvartix {

namespace {

constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
constexpr tcflag_t kParities[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR,
                                  PARENB | CMSPAR};
constexpr tcflag_t kLineBits = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS;

bool Expressible(const LineConfig& c) {
    return c.BaudRate != 0 && c.Parity <= 4 && FrameSupported(c.ByteSize, c.StopBits) &&
           c.fBinary && c.fDtrControl != DTR_CONTROL_HANDSHAKE && c.fDtrControl <= 2 &&
           c.fRtsControl <= RTS_CONTROL_HANDSHAKE && !c.fDsrSensitivity && !c.fErrorChar &&
           !c.fNull && !c.fAbortOnError && !((c.fOutX || c.fInX) && c.XonChar == c.XoffChar);
}

}  // namespace

bool TermiosFor(const LineConfig& c, TermiosState& t) {
    if (!Expressible(c)) return false;
    t.Iflag = IGNBRK | (c.fParity ? INPCK : 0);
    t.Oflag = 0;
    t.Lflag = 0;
    t.Cflag = kSizes[c.ByteSize - 5] | CREAD | CLOCAL | HUPCL | kParities[c.Parity] |
              (c.StopBits != 0 ? CSTOPB : 0) | (c.fOutxCtsFlow ? CRTSCTS : 0);
    t.Cc[VMIN] = 1;
    t.Cc[VTIME] = 0;
    t.Cc[VSTART] = c.XonChar;
    t.Cc[VSTOP] = c.XoffChar;
    t.Speed = c.BaudRate;
    return true;
}

bool DriverKept(const TermiosState& asked, const TermiosState& got) {
    return (asked.Cflag & kLineBits) == (got.Cflag & kLineBits) &&
           (asked.Iflag & INPCK) == (got.Iflag & INPCK) && asked.Cc[VMIN] == got.Cc[VMIN] &&
           std::fabs(static_cast<double>(got.Speed) - asked.Speed) <= 0.02 * asked.Speed;
}

void ConfigFromTermios(const TermiosState& t, LineConfig& c) {
    c.BaudRate = t.Speed;
    switch (t.Cflag & CSIZE) {
        case CS5:
            c.ByteSize = 5;
            break;
        case CS6:
            c.ByteSize = 6;
            break;
        case CS7:
            c.ByteSize = 7;
            break;
        default:
            c.ByteSize = 8;
            break;
    }
    c.Parity = 0;
    for (std::uint8_t p = 1; p <= 4; ++p)
        if ((t.Cflag & (PARENB | PARODD | CMSPAR)) == kParities[p]) c.Parity = p;
    c.StopBits = (t.Cflag & CSTOPB) ? (c.ByteSize == 5 ? 1 : 2) : 0;
    c.fParity = (t.Iflag & INPCK) != 0;
    c.fOutxCtsFlow = (t.Cflag & CRTSCTS) != 0;
    c.fRtsControl = c.fOutxCtsFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    c.fDtrControl = DTR_CONTROL_ENABLE;
    c.fOutX = (t.Iflag & IXON) != 0;
    c.fInX = (t.Iflag & IXOFF) != 0;
    c.XonChar = t.Cc[VSTART];
    c.XoffChar = t.Cc[VSTOP];
}

std::uint32_t ModemStatusFromLines(long lines) {
    return ((lines & TIOCM_CTS) ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) ? MS_DSR_ON : 0) |
           ((lines & TIOCM_RNG) ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) ? MS_RLSD_ON : 0);
}

std::uint32_t ErrorsFromCounters(const LineCounters& a, const LineCounters& b) {
    return (a.Frame != b.Frame ? CE_FRAME : 0) | (a.Overrun != b.Overrun ? CE_OVERRUN : 0) |
           (a.Parity != b.Parity ? CE_RXPARITY : 0) | (a.Brk != b.Brk ? CE_BREAK : 0) |
           (a.BufOverrun != b.BufOverrun ? CE_RXOVER : 0);
}

}  // namespace kvartix
