#include "engine/PortMessages.h"

namespace kvartix {

std::string OpenFailureText(const OpenFailure& f) {
    const std::string& path = f.DevicePath;
    switch (f.Step) {
        case OpenStep::PathTooLong:
        case OpenStep::Open:
            return PortLostText(path);
        case OpenStep::ReadConfig:
            return "Ошибка получения параметров " + path;
        case OpenStep::Queues:
            return "Ошибка при инициализации буферов для " + path;
        case OpenStep::LineConfig:
            return "Драйвер Windows для порта " + path + " не может работать с такими параметрами.";
        case OpenStep::Timeouts:
            return "Ошибка установки таймаутов " + path;
        case OpenStep::EventMask:
            return "Fatal error 1";
    }
    return {};
}

std::string OpenFailureMessage(const OpenFailure& f) {
    const std::string& why = f.Refusal.Reason;
    return OpenFailureText(f) + (why.empty() ? "" : "\n" + why);
}

std::string TransferEventFailureText(TransferEventFailure f) {
    return f == TransferEventFailure::WriteEvent ? "Fatal error 2" : "Fatal error 3";
}

std::string PortLostText(const std::string& devicePath) {
    return devicePath + " не доступен";
}

bool CreateTransferEvents(TransferEvents& out, EventFactory& factory, ErrorBoxSink& box) {
    if (const auto failure = CreateTransferEvents(out, factory)) {
        box.ErrorBox(TransferEventFailureText(*failure), true);
        return false;
    }
    return true;
}

}  // namespace kvartix
