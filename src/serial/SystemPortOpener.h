#pragma once

#include "serial/Clock.h"
#include "serial/CommPort.h"

namespace kvartix {

// Opens what a device path names on this machine: the loopback plug for "LOOP[:options]",
// and on Linux a terminal device for a path beginning with "/".
class SystemPortOpener final : public PortOpener {
public:
    explicit SystemPortOpener(const Clock& clock) : m_clock(clock) {}
    std::unique_ptr<CommPort> Open(const std::string& devicePath, bool overlapped) override;

private:
    const Clock& m_clock;
};

}  // namespace kvartix
