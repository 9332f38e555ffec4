#pragma once

#include <memory>
#include <string>

#include "serial/CommPort.h"
#include "serial/ErrorBox.h"
#include "serial/LineSettings.h"
#include "serial/SessionParameters.h"

namespace kvartix {

// A port between its open and the end of its configuration.
struct OpenedPort {
    std::unique_ptr<CommPort> Port;
    std::string DevicePath;
    LineConfig Config;  // as the driver reported it, then as filled for the session
};

// Device path, exclusive overlapped open and read of the driver's configuration.
// Each failure is shown through the box; the port is closed and false returned.
bool OpenPortForSession(const std::string& portName, PortOpener& opener, ErrorBoxSink& box,
                        OpenedPort& out);

// The flag word is set as a whole; fields not named here keep what the driver reported.
void FillLineConfig(LineConfig& config, const LineSettings& settings,
                    const SessionParameters& params);

// Queues, line configuration, time-outs and event mask. On failure the message is shown,
// the port closed and false returned.
bool ConfigurePort(OpenedPort& opened, const SessionParameters& params, ErrorBoxSink& box);

// All of the above, in order.
bool OpenAndConfigure(const LineSettings& settings, const SessionParameters& params,
                      PortOpener& opener, ErrorBoxSink& box, OpenedPort& out);

// Time-outs that make every read return at once with what is buffered.
CommTimeouts ImmediateReadTimeouts();

}  // namespace kvartix
