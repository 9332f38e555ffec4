#include "serial/PortOpening.h"

#include <algorithm>

#include "serial/DevicePath.h"

namespace kvartix {
namespace {

std::optional<OpenFailure> Fail(OpenedPort& opened, OpenStep step) {
    if (opened.Port) {
        opened.Port->CloseHandle();
        opened.Port.reset();
    }
    return OpenFailure{step, opened.DevicePath, {}};
}

std::optional<OpenFailure> Configure(OpenedPort& o, const SessionParameters& p) {
    const auto queue = static_cast<std::uint32_t>(p.QueueSize);
    if (!o.Port->SetupComm(queue, queue)) return Fail(o, OpenStep::Queues);
    o.Config.XonChar = kXonChar;
    o.Config.XoffChar = kXoffChar;
    if (o.Config.BaudRate < 1 || !o.Port->SetCommState(o.Config))
        return Fail(o, OpenStep::LineConfig);
    if (!o.Port->SetCommTimeouts(ImmediateReadTimeouts())) return Fail(o, OpenStep::Timeouts);
    if (!o.Port->SetCommMask(EV_RLSD)) return Fail(o, OpenStep::EventMask);
    return std::nullopt;
}

}  // namespace

const char* OpenStepCall(OpenStep step) {
    // In the order of OpenStep.
    constexpr const char* kOpenStepCalls[] = {"DevicePath", "Open",         "GetCommState",
                                              "SetupComm",  "SetCommState", "SetCommTimeouts",
                                              "SetCommMask"};
    return kOpenStepCalls[static_cast<int>(step)];
}

CommTimeouts ImmediateReadTimeouts() {
    CommTimeouts t;
    t.ReadIntervalTimeout = MAXDWORD;
    return t;
}

void FillLineConfig(LineConfig& c, const LineSettings& s, const SessionParameters& p) {
    c.fBinary = true;
    c.fParity = false;
    c.fOutxCtsFlow = s.RtsCts;
    c.fOutxDsrFlow = s.DSREnable;
    c.fDtrControl = s.DTREnable ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    c.fDsrSensitivity = false;
    c.fTXContinueOnXoff = false;
    c.fOutX = s.XonXoff;
    c.fInX = s.XonXoff;
    c.fErrorChar = false;
    c.fNull = false;
    c.fRtsControl = s.RtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
    c.fAbortOnError = false;
    // Zero stands for any rate below 1, which the configuration step refuses.
    c.BaudRate = static_cast<std::uint32_t>(std::max(s.BitRate, 0));
    c.ByteSize = static_cast<std::uint8_t>(s.DataBits);
    c.Parity = static_cast<std::uint8_t>(s.Parity);
    c.StopBits = static_cast<std::uint8_t>(s.StopBits);
    c.XonLim = c.XoffLim = static_cast<std::uint16_t>(p.QueueSize / 10);
}

std::optional<OpenFailure> OpenAndConfigure(const LineSettings& s, const SessionParameters& p,
                                            PortOpener& opener, OpenedPort& out,
                                            bool keepSendingOnXoff) {
    out.DevicePath = DevicePathFor(s.Port);
    if (out.DevicePath.size() > kMaxDevicePath) return Fail(out, OpenStep::PathTooLong);
    PortRefusal why;
    out.Port = opener.Open(out.DevicePath, true, why);
    if (!out.Port) {
        auto failure = Fail(out, OpenStep::Open);
        failure->Refusal = std::move(why);
        return failure;
    }
    if (!out.Port->GetCommState(out.Config)) return Fail(out, OpenStep::ReadConfig);
    FillLineConfig(out.Config, s, p);
    if (keepSendingOnXoff) out.Config.fTXContinueOnXoff = true;
    return Configure(out, p);
}

}  // namespace kvartix
