#include "engine/TerminalInput.h"

#include "engine/CodePage.h"

namespace kvartix {

std::string LineEndBytes(LineEnd end) {
    switch (end) {
        case LineEnd::Lf:
            return "\n";
        case LineEnd::CrLf:
            return "\r\n";
        case LineEnd::Cr:
            break;
    }
    return "\r";
}

PasteBytes ToPasteBytes(const std::u32string& text, LineEnd end) {
    PasteBytes out;
    const std::string lineEnd = LineEndBytes(end);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' || c == U'\n') {
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
            out.Bytes += lineEnd;
            continue;
        }
        std::uint8_t byte = 0;
        if (ToCp1251(c, byte))
            out.Bytes.push_back(static_cast<char>(byte));
        else if (out.Refused.find(c) == std::u32string::npos)
            out.Refused.push_back(c);
    }
    if (!out.Refused.empty()) out.Bytes.clear();
    return out;
}

}  // namespace kvartix
