#include "serial/SystemPortOpener.h"

#include <cerrno>

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
    if (IsCablePath(devicePath)) return OpenCableEnd(devicePath, why);
    return OpenDevice(devicePath, overlapped, why);
}

std::unique_ptr<CommPort> SystemPortOpener::OpenCableEnd(const std::string& devicePath,
                                                         PortRefusal& why) {
    const auto end = ParseCablePath(devicePath);
    const auto options = end ? ParseLoopOptions(end->Options) : std::nullopt;
    if (!options) {
        why.Reason = devicePath + ": " + CablePathProblem(devicePath);
        return nullptr;
    }
    std::weak_ptr<PlugWire>& kept = m_cables[static_cast<std::size_t>(end->Cable - 1)];
    auto cable = kept.lock();
    // A cable whose ends are both closed is a new one: nothing of the old run is on it.
    if (!cable || !cable->AnyOpen()) {
        cable = PlugWire::Cable(m_clock);
        kept = cable;
    }
    if (cable->IsOpen(end->Side)) {
        why = {EBUSY, CableEndName(end->Cable, end->Side) + " is already open"};
        return nullptr;
    }
    return std::make_unique<VirtualCommPort>(cable, end->Side, *options);
}

}  // namespace kvartix
