#pragma once

#include <string>

#include "serial/Clock.h"
#include "serial/CommPort.h"

namespace kvartix {

// Opens what a device path names on this machine: the loopback plug for "LOOP[:options]",
// on Linux a terminal device for a path beginning with "/", on Windows any other name.
class SystemPortOpener final : public PortOpener {
  public:
    explicit SystemPortOpener(const Clock& clock) : m_clock(clock) {}
    std::unique_ptr<CommPort> Open(const std::string& devicePath, bool overlapped,
                                   PortRefusal& why) override;

  private:
    // Any other path, by the backend the build takes (serial/posix/PosixSystem.cpp or
    // serial/win32/Win32System.cpp).
    static std::unique_ptr<CommPort> OpenDevice(const std::string& devicePath, bool overlapped,
                                                PortRefusal& why);

    const Clock& m_clock;
};

}  // namespace kvartix
