#pragma once

#include <array>
#include <memory>
#include <string>

#include "serial/Clock.h"
#include "serial/CommPort.h"
#include "serial/loop/CablePath.h"

namespace kvartix {

class PlugWire;

// Opens what a device path names on this machine: the loopback plug for "LOOP[:options]", an
// end of a built-in null-modem cable for "CABLE[n]:A|B[:options]", on Linux a terminal device
// for a path beginning with "/", on Windows any other name.
//
// The cables are this opener's: both ends of one cable are opened through the same opener,
// which keeps a cable while either end is open. A cable end is exclusive like a device: a
// second open of an end that is open is refused.
class SystemPortOpener final : public PortOpener {
  public:
    explicit SystemPortOpener(const Clock& clock) : m_clock(clock) {}
    std::unique_ptr<CommPort> Open(const std::string& devicePath, bool overlapped,
                                   PortRefusal& why) override;

  private:
    std::unique_ptr<CommPort> OpenCableEnd(const std::string& devicePath, PortRefusal& why);
    // Any other path, by the backend the build takes (serial/posix/PosixSystem.cpp or
    // serial/win32/Win32System.cpp).
    static std::unique_ptr<CommPort> OpenDevice(const std::string& devicePath, bool overlapped,
                                                PortRefusal& why);

    const Clock& m_clock;
    // Held by the ends' ports; looked at only while one of its ends is open.
    std::array<std::weak_ptr<PlugWire>, kCables> m_cables;
};

}  // namespace kvartix
