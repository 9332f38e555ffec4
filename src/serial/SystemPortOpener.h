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
    const Clock& m_clock;
    std::string m_refusal;
};

}  // namespace kvartix
