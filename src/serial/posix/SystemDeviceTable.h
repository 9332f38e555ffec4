#pragma once

#include <string>
#include <vector>

#include "serial/posix/PosixDiscovery.h"
#include "serial/posix/PosixSys.h"

namespace kvartix {

// This machine's devices: the UART type the kernel reports in sysfs (0 when a ttyS node has
// no UART behind it), the ttyUSB and ttyACM nodes of /dev, and the backend's exclusive open.
class SystemDeviceTable final : public DeviceTable {
  public:
    explicit SystemDeviceTable(PosixSys& sys, std::string ttyClass = "/sys/class/tty",
                               std::string dev = "/dev")
        : m_sys(sys), m_ttyClass(std::move(ttyClass)), m_dev(std::move(dev)) {}

    bool HasUart(int index) override;
    std::vector<std::string> UsbSerialDevices() override;
    bool OpensExclusively(const std::string& path) override;

    // The devices that did not open for a reason a person can act on (locked by a process,
    // permission denied), one line each.
    const std::vector<std::string>& Refusals() const { return m_refusals; }

  private:
    std::vector<std::string> m_refusals;
    PosixSys& m_sys;
    std::string m_ttyClass;
    std::string m_dev;
};

}  // namespace kvartix
