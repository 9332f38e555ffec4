#include "serial/PortInfo.h"

namespace kvartix {

std::string PortInfoText(const PortInfo& info) {
    std::string text;
    const auto add = [&text](const std::string& field) {
        if (field.empty()) return;
        if (!text.empty()) text += "  ";
        text += field;
    };
    add(info.Driver);
    std::string name = info.Manufacturer;
    if (!info.Product.empty()) name += (name.empty() ? "" : " ") + info.Product;
    add(name);
    if (!info.VendorId.empty()) add(info.VendorId + ":" + info.ProductId);
    if (!info.Serial.empty()) add("serial " + info.Serial);
    if (const auto at = info.ById.find("by-id/"); at != std::string::npos)
        add(info.ById.substr(at));
    if (info.Console) add("(console)");
    if (info.Getty) add("(getty)");
    return text;
}

std::string PortHintText(const PortInfo& info) {
    std::string name = info.Manufacturer;
    if (!info.Product.empty()) name += (name.empty() ? "" : " ") + info.Product;
    const std::string lines[] = {
        info.Driver,
        name,
        info.VendorId.empty() ? "" : info.VendorId + ":" + info.ProductId,
        info.Serial.empty() ? "" : "serial " + info.Serial,
        info.ById,
        HeldBySystemText(info),
    };
    std::string text;
    for (const std::string& line : lines)
        if (!line.empty()) text += "\n" + line;
    return text.empty() ? text : info.Device + text;
}

std::string HeldBySystemText(const PortInfo& info) {
    if (info.Console) return info.Device + " is the system console";
    if (info.Getty) return info.Device + " is held by a getty (a login on this port)";
    return {};
}

}  // namespace kvartix
