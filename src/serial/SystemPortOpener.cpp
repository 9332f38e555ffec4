#include "serial/SystemPortOpener.h"

#include "serial/loop/LoopOptions.h"
#include "serial/loop/VirtualCommPort.h"

namespace kvartix {

std::unique_ptr<CommPort> SystemPortOpener::Open(const std::string& devicePath, bool overlapped,
                                                 PortRefusal& why) {
    why = PortRefusal{};
    if (IsLoopPath(devicePath)) {
        const auto options =
            ParseLoopOptions(devicePath.size() > 4 ? std::string_view(devicePath).substr(5) : "");
        if (!options) return nullptr;
        return std::make_unique<VirtualCommPort>(m_clock, *options);
    }
    return OpenDevice(devicePath, overlapped, why);
}

}  // namespace kvartix
