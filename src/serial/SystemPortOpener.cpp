#include "serial/SystemPortOpener.h"

#include "serial/loop/LoopOptions.h"
#include "serial/loop/VirtualCommPort.h"
#if defined(__linux__)
#include "serial/posix/PosixCommPort.h"
#elif defined(_WIN32)
#include "serial/win32/Win32CommPort.h"
#endif

namespace kvartix {

std::unique_ptr<CommPort> SystemPortOpener::Open(const std::string& devicePath,
                                                [[maybe_unused]] bool overlapped) {
    m_refusal.clear();
    if (IsLoopPath(devicePath)) {
        const auto options =
            ParseLoopOptions(devicePath.size() > 4 ? std::string_view(devicePath).substr(5) : "");
        if (!options) return nullptr;
        return std::make_unique<VirtualCommPort>(m_clock, *options);
    }
#ifdef __linux__
    if (!devicePath.empty() && devicePath.front() == '/') {
        OpenRefusal why;
        auto port = PosixCommPort::Open(SystemCalls(), devicePath, &why);
        if (!port) m_refusal = Explain(devicePath, why);
        return port;
    }
#elif defined(_WIN32)
    // Any name the system accepts, "\\.\COMn" included.
    if (!devicePath.empty()) return Win32CommPort::Open(devicePath, overlapped);
#endif
    return nullptr;
}

}  // namespace kvartix
