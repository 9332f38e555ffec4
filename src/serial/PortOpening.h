#pragma once

#include <memory>
#include <optional>
#include <string>

#include "serial/CommPort.h"
#include "serial/LineSettings.h"
#include "serial/SessionParameters.h"

namespace kvartix {

// A port between its open and the end of its configuration.
struct OpenedPort {
    std::unique_ptr<CommPort> Port;
    std::string DevicePath;
    LineConfig Config;  // as the driver reported it, then as filled for the session
};

// The steps of an opening, in the order they run.
enum class OpenStep {
    PathTooLong,  // refused before the open
    Open,
    ReadConfig,  // GetCommState
    Queues,      // SetupComm
    LineConfig,  // SetCommState, or a bit rate no driver takes
    Timeouts,    // SetCommTimeouts
    EventMask,   // SetCommMask
};

// What failed; the port layer says which step on which path, the caller words it.
struct OpenFailure {
    OpenStep Step = OpenStep::Open;
    std::string DevicePath;
    PortRefusal Refusal;  // the open's, when the system gave one
    bool operator==(const OpenFailure&) const = default;
};

// Name of the port call a step makes, for logs and tests.
const char* OpenStepCall(OpenStep step);

// True when the port had been opened and its configuration read before the failure.
inline bool OpenedBeforeFailing(const OpenFailure& f) {
    return f.Step > OpenStep::ReadConfig;
}

// The flag word is set as a whole; fields not named here keep what the driver reported.
void FillLineConfig(LineConfig& config, const LineSettings& settings,
                    const SessionParameters& params);

// Device path, exclusive overlapped open, the driver's configuration filled from the
// settings, queues, time-outs and event mask. On failure nothing is left open.
// A loopback echo keeps sending while its own Xoff is out (keepSendingOnXoff).
[[nodiscard]] std::optional<OpenFailure> OpenAndConfigure(const LineSettings& settings,
                                                          const SessionParameters& params,
                                                          PortOpener& opener, OpenedPort& out,
                                                          bool keepSendingOnXoff = false);

// Time-outs that make every read return at once with what is buffered.
CommTimeouts ImmediateReadTimeouts();

}  // namespace kvartix
