#include "cli/CliPorts.h"

#include "cli/CliSummary.h"

namespace kvartix {
namespace {

std::string JsonText(const std::string& s) {
    return s.empty() ? "null" : JsonString(s);
}

void PrintJsonPort(std::ostream& out, const std::string& name, const PortInfo& p) {
    out << "{\"port\":" << JsonString(name) << ",\"device\":" << JsonText(p.Device)
        << ",\"driver\":" << JsonText(p.Driver) << ",\"vendor_id\":" << JsonText(p.VendorId)
        << ",\"product_id\":" << JsonText(p.ProductId)
        << ",\"manufacturer\":" << JsonText(p.Manufacturer)
        << ",\"product\":" << JsonText(p.Product) << ",\"serial\":" << JsonText(p.Serial)
        << ",\"by_id\":" << JsonText(p.ById) << ",\"console\":" << (p.Console ? "true" : "false")
        << ",\"getty\":" << (p.Getty ? "true" : "false") << "}";
}

}  // namespace

void PrintPorts(std::ostream& out, const PortList& list, bool json) {
    if (json) out << "[";
    for (std::size_t i = 0; i < list.Names.size(); ++i) {
        const std::string& name = list.Names[i];
        const PortInfo info = i < list.Info.size() ? list.Info[i] : PortInfo{};
        if (json) {
            out << (i ? ",\n " : "");
            PrintJsonPort(out, name, info);
            continue;
        }
        std::string line = name;
        if (!info.Device.empty() && info.Device != name) line += "  " + info.Device;
        if (const std::string text = PortInfoText(info); !text.empty()) line += "  " + text;
        out << line << '\n';
    }
    if (json) out << "]\n";
}

std::string StartRefusal(const CliOptions& options, const PortInfo& port) {
    if (options.Force || !port.HeldBySystem()) return {};
    return HeldBySystemText(port) + "; --force starts the test on it anyway";
}

}  // namespace kvartix
