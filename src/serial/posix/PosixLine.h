#pragma once

#include <cstdint>

#include "serial/CommTypes.h"
#include "serial/posix/PosixSys.h"

namespace kvartix {

// How the line record maps onto a Linux terminal. Plain functions, so the mapping is tested
// without a device.

// The raw terminal for the line: no processing of input or output, VMIN 1 so that a read
// of nothing is EAGAIN and a hang-up reads as end of file, modem lines ignored for
// receiving (CLOCAL) and dropped on the last close (HUPCL), the frame, the parity (mark and
// space through CMSPAR), CTS output flow through CRTSCTS, and the Xon/Xoff characters as
// START/STOP so that the kernel sends ours ahead of queued output. Xon/Xoff themselves stay
// out of the kernel: the port does them in user space so that its hold flags are exact.
// Keeps the fields of `t` it does not set. False for a record a terminal cannot express:
// a rate of 0, parity above 4, a frame no UART makes, DTR handshake, RTS toggle, DSR
// sensitivity, error or null replacement, abort on error, a non-binary line, or Xon/Xoff
// with the two characters equal.
bool TermiosFor(const LineConfig& config, TermiosState& t);

// Whether the driver kept what was asked: frame, parity, parity checking, CTS flow, VMIN,
// and a bit rate within 2 %, the most a UART's divisor may round it by and still talk to
// its peer. A driver that silently dropped any of them has refused the configuration.
bool DriverKept(const TermiosState& asked, const TermiosState& got);

// The record fields a terminal's configuration determines (rate, frame, parity, CTS flow
// with the RTS handshake, Xon/Xoff and their characters); the others keep their values.
// Linux raises DTR and RTS on open, so both show enabled unless the handshake drives RTS.
void ConfigFromTermios(const TermiosState& t, LineConfig& config);

// TIOCM_* modem lines as MS_*_ON bits.
std::uint32_t ModemStatusFromLines(long lines);

// Error mask bits for the counters that moved between two TIOCGICOUNT reads: frame
// CE_FRAME, overrun CE_OVERRUN, parity CE_RXPARITY, break CE_BREAK, and a flip-buffer
// overrun CE_RXOVER, since characters were lost for want of room in an input queue.
std::uint32_t ErrorsFromCounters(const LineCounters& before, const LineCounters& now);

}  // namespace kvartix
