#pragma once

#include <string>

namespace kvartix {

// What a port is, as far as the system tells: empty fields are unknown.
struct PortInfo {
    // Empty-braced so that rows of ports can name only what they know.
    std::string Device{};  // the path a session opens, /dev/ttyS0 for COM1
    std::string Driver{};  // 8250, ftdi_sio, cdc_acm, ...
    std::string VendorId{};
    std::string ProductId{};
    std::string Manufacturer{};
    std::string Product{};
    std::string Serial{};
    std::string ById{};  // the stable /dev/serial/by-id/... link to the device
    bool Console = false;
    bool Getty = false;

    // A test on the console or under a getty writes into the machine's own log or login.
    bool HeldBySystem() const { return Console || Getty; }
};

// One line of what is known, fields two spaces apart:
// "8250  (console)", "ftdi_sio  FTDI FT232R  0403:6001  serial A1B2C3  by-id/usb-FTDI_...".
std::string PortInfoText(const PortInfo& info);

// The port's hint: its device and what is known, one item a line, the warning last; empty
// when nothing but the device is known.
std::string PortHintText(const PortInfo& info);

// The warning for a start on a port held by the system, empty for any other port.
std::string HeldBySystemText(const PortInfo& info);

}  // namespace kvartix
