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
    std::unique_ptr<CommPort> Open(const std::string& devicePath, bool overlapped) override;

    // Why the last refused open was refused, when there is more to say than that the device
    // is not there (held by a process, permission denied); empty otherwise.
    const std::string& LastRefusal() const { return m_refusal; }

  private:
    // Any other path, by the backend the build takes (serial/posix/PosixSystem.cpp or
    // serial/win32/Win32System.cpp); refusal gets what LastRefusal says.
    static std::unique_ptr<CommPort> OpenDevice(const std::string& devicePath, bool overlapped,
                                                std::string& refusal);

    const Clock& m_clock;
    std::string m_refusal;
};

}  // namespace kvartix
