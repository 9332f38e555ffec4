#include "serial/PortOpening.h"

#include <algorithm>

#include "serial/DevicePath.h"

namespace kvartix {
namespace {

bool Fail(OpenedPort& opened, ErrorBoxSink& box, const std::string& text) {
    box.ErrorBox(text, true);
    opened.Port->CloseHandle();
    opened.Port.reset();
    return false;
}

}  // namespace

CommTimeouts ImmediateReadTimeouts() {
    CommTimeouts t;
    t.ReadIntervalTimeout = MAXDWORD;
    return t;
}

bool OpenPortForSession(const std::string& portName, PortOpener& opener, ErrorBoxSink& box,
                        OpenedPort& out) {
    out.DevicePath = DevicePathFor(portName);
    const std::string unavailable = out.DevicePath + " не доступен";
    if (out.DevicePath.size() > kMaxDevicePath) {
        box.ErrorBox(unavailable, true);
        return false;
    }
    out.Port = opener.Open(out.DevicePath, true);
    if (!out.Port) {
        box.ErrorBox(unavailable, true);
        return false;
    }
    if (!out.Port->GetCommState(out.Config))
        return Fail(out, box, "Ошибка получения параметров " + out.DevicePath);
    return true;
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

bool ConfigurePort(OpenedPort& o, const SessionParameters& p, ErrorBoxSink& box) {
    const auto queue = static_cast<std::uint32_t>(p.QueueSize);
    if (!o.Port->SetupComm(queue, queue))
        return Fail(o, box, "Ошибка при инициализации буферов для " + o.DevicePath);
    o.Config.XonChar = kXonChar;
    o.Config.XoffChar = kXoffChar;
    if (o.Config.BaudRate < 1 || !o.Port->SetCommState(o.Config))
        return Fail(o, box,
                    "Драйвер Windows для порта " + o.DevicePath +
                        " не может работать с такими параметрами.");
    if (!o.Port->SetCommTimeouts(ImmediateReadTimeouts()))
        return Fail(o, box, "Ошибка установки таймаутов " + o.DevicePath);
    if (!o.Port->SetCommMask(EV_RLSD)) return Fail(o, box, "Fatal error 1");
    return true;
}

bool OpenAndConfigure(const LineSettings& s, const SessionParameters& p, PortOpener& opener,
                      ErrorBoxSink& box, OpenedPort& out) {
    if (!OpenPortForSession(s.Port, opener, box, out)) return false;
    FillLineConfig(out.Config, s, p);
    return ConfigurePort(out, p, box);
}

}  // namespace kvartix
