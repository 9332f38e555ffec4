// libFuzzer target for the settings-file reader and writer: any text parses and prints back
// byte for byte, and every write or erase touches its own section alone.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdlib>
#include <map>
#include <string>

#include "app/IniDocument.h"

namespace {

using kvartix::IniDocument;

constexpr std::array<const char*, 6> kSections{"Morvi", "Program", "parameters", "TEST", "x", ""};
constexpr std::array<const char*, 5> kKeys{"Left", "top", "Xon/Xoff", "Name", "k"};

void Check(bool ok) {
    if (!ok) std::abort();
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// What a reader sees of a written value: one line, blanks trimmed, at most 1023 characters.
std::string AsRead(std::string value) {
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!value.empty() && blank(value.back())) value.pop_back();
    std::size_t start = 0;
    while (start < value.size() && blank(value[start])) ++start;
    return value.substr(start, IniDocument::kMaxStringLength);
}

// Every known key's value outside the given section.
std::map<std::string, std::string> Others(const IniDocument& doc, const std::string& section) {
    std::map<std::string, std::string> out;
    for (const char* s : kSections)
        if (!SameName(s, section))
            for (const char* k : kKeys)
                out[std::string(s) + "|" + k] = doc.ReadString(s, k, "\x01missing");
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string text = in.ConsumeRandomLengthString(4096);
    IniDocument doc = IniDocument::Parse(text);
    Check(doc.Text() == text);

    while (in.remaining_bytes() > 0) {
        const int op = in.ConsumeIntegralInRange(0, 3);
        const std::string section = kSections[in.ConsumeIntegralInRange<std::size_t>(0, 5)];
        const std::string key = kKeys[in.ConsumeIntegralInRange<std::size_t>(0, 4)];
        const auto before = Others(doc, section);
        switch (op) {
            case 0: {
                const std::string value = in.ConsumeRandomLengthString(1200);
                doc.WriteString(section, key, value);
                Check(IniDocument::Parse(doc.Text()).ReadString(section, key, "") == AsRead(value));
                break;
            }
            case 1: {
                const auto value = in.ConsumeIntegral<std::int32_t>();
                doc.WriteInteger(section, key, value);
                Check(IniDocument::Parse(doc.Text()).ReadInteger(section, key, ~value) == value);
                break;
            }
            case 2:
                doc.EraseSection(section);
                Check(!IniDocument::Parse(doc.Text()).HasSection(section));
                break;
            default: {
                // Names nobody would use, for crashes only.
                const std::string odd = in.ConsumeRandomLengthString(16);
                doc.WriteString(odd, odd, in.ConsumeRandomLengthString(16));
                doc.ReadInteger(odd, odd, 0);
                doc.EraseSection(odd);
                continue;
            }
        }
        Check(Others(doc, section) == before);
        Check(IniDocument::Parse(doc.Text()).Text() == doc.Text());
    }
    return 0;
}
