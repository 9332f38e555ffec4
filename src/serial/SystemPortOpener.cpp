#include "serial/SystemPortOpener.h"

#include "serial/LoopOptions.h"
#include "serial/VirtualCommPort.h"

namespace kvartix {

std::unique_ptr<CommPort> SystemPortOpener::Open(const std::string& devicePath, bool) {
    if (IsLoopPath(devicePath)) {
        const auto options =
            ParseLoopOptions(devicePath.size() > 4 ? std::string_view(devicePath).substr(5) : "");
        if (!options) return nullptr;
        return std::make_unique<VirtualCommPort>(m_clock, *options);
    }
    return nullptr;
}

}  // namespace kvartix
