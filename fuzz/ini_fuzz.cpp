// libFuzzer target for the settings-file reader and writer: any bytes parse and print back
// byte for byte, whatever encoding they are decided to be in, the encoding survives every
// write and erase, and every write or erase touches its own section alone.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdlib>
#include <map>
#include <string>

#include "app/IniDocument.h"
#include "app/TextEncoding.h"

namespace {

using kvartix::IniDocument;
using kvartix::TextEncoding;

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

// What a reader sees of a written value: what the file's encoding carries of it, on one
// line, blanks trimmed, at most 1023 characters.
std::string AsRead(const std::string& written, TextEncoding encoding) {
    std::string value = kvartix::Representable(written, encoding);
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!value.empty() && blank(value.back())) value.pop_back();
    std::size_t start = 0;
    while (start < value.size() && blank(value[start])) ++start;
    value.erase(0, start);
    std::size_t characters = 0;
    for (std::size_t at = 0; at < value.size(); ++at)
        if ((static_cast<unsigned char>(value[at]) & 0xC0) != 0x80 &&
            characters++ == IniDocument::kMaxStringLength)
            return value.substr(0, at);
    return value;
}

// The file as the next start reads it, in the encoding it was written in.
IniDocument Reread(const IniDocument& doc) { return IniDocument::Parse(doc.Text(), doc.Encoding()); }

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
    Check(Reread(doc).Encoding() == doc.Encoding());

    while (in.remaining_bytes() > 0) {
        const int op = in.ConsumeIntegralInRange(0, 3);
        const std::string section = kSections[in.ConsumeIntegralInRange<std::size_t>(0, 5)];
        const std::string key = kKeys[in.ConsumeIntegralInRange<std::size_t>(0, 4)];
        const auto before = Others(doc, section);
        switch (op) {
            case 0: {
                const std::string value = in.ConsumeRandomLengthString(1200);
                doc.WriteString(section, key, value);
                Check(Reread(doc).ReadString(section, key, "") == AsRead(value, doc.Encoding()));
                break;
            }
            case 1: {
                const auto value = in.ConsumeIntegral<std::int32_t>();
                doc.WriteInteger(section, key, value);
                Check(Reread(doc).ReadInteger(section, key, ~value) == value);
                break;
            }
            case 2:
                doc.EraseSection(section);
                Check(!Reread(doc).HasSection(section));
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
        const IniDocument reread = Reread(doc);
        Check(reread.Encoding() == doc.Encoding());
        Check(reread.Text() == doc.Text());
    }
    return 0;
}
