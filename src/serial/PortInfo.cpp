#include "serial/PortInfo.h"

#include <utility>
#include <vector>

namespace kvartix {

namespace {

// What the adapter says of itself, each known part once: driver, maker and product, ids, serial.
std::vector<std::string> AdapterFields(const PortInfo& info) {
    std::string name = info.Manufacturer;
    if (!info.Product.empty()) name += (name.empty() ? "" : " ") + info.Product;
    std::vector<std::string> fields;
    for (std::string field :
         {info.Driver, name, info.VendorId.empty() ? "" : info.VendorId + ":" + info.ProductId,
          info.Serial.empty() ? "" : "serial " + info.Serial})
        if (!field.empty()) fields.push_back(std::move(field));
    return fields;
}

std::string Joined(const std::vector<std::string>& fields, const char* separator) {
    std::string text;
    for (const std::string& field : fields)
        if (!field.empty()) text += (text.empty() ? "" : separator) + field;
    return text;
}

}  // namespace

std::string PortInfoText(const PortInfo& info) {
    std::vector<std::string> fields = AdapterFields(info);
    if (const auto at = info.ById.find("by-id/"); at != std::string::npos)
        fields.push_back(info.ById.substr(at));
    if (info.Console) fields.push_back("(console)");
    if (info.Getty) fields.push_back("(getty)");
    return Joined(fields, "  ");
}

std::string PortHintText(const PortInfo& info) {
    std::vector<std::string> lines = AdapterFields(info);
    lines.push_back(info.ById);
    lines.push_back(HeldBySystemText(info));
    const std::string text = Joined(lines, "\n");
    return text.empty() ? text : info.Device + "\n" + text;
}

std::string HeldBySystemText(const PortInfo& info) {
    if (info.Console) return info.Device + " is the system console";
    if (info.Getty) return info.Device + " is held by a getty (a login on this port)";
    return {};
}

}  // namespace kvartix
