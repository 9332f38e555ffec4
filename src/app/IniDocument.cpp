#include "app/IniDocument.h"

#include <algorithm>

#include "app/IntegerText.h"

namespace kvartix {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII letters only, whatever locale the process runs in.
bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

// A line without the byte-order mark an editor put in front of it (of the file, as a rule, but
// a line is read the same wherever it stands) and without blanks around it.
std::string_view Content(std::string_view line, std::string_view byteOrderMark) {
    if (line.starts_with(byteOrderMark)) line.remove_prefix(byteOrderMark.size());
    return Trim(line);
}

// "[name]", blanks allowed around the name and the brackets.
std::optional<std::string_view> SectionHeader(std::string_view line, std::string_view mark) {
    const auto t = Content(line, mark);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const auto close = t.rfind(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

struct KeyLine {
    std::string_view Key;
    std::string_view Value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line, std::string_view mark) {
    const auto t = Content(line, mark);
    if (t.empty() || t.front() == '[' || t.front() == ';') return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyLine{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// A value or name may not break the line it is written on.
std::string OneLine(std::string s) {
    std::replace_if(
        s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return s;
}

// The first count characters of valid UTF-8 text.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    for (std::size_t at = 0; at < text.size(); ++at)
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80 && count-- == 0)
            return text.substr(0, at);
    return text;
}

}  // namespace

std::optional<std::int32_t> ParseProfileInteger(std::string_view text) {
    auto t = Trim(text);
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    // What follows the sign is a number as the windows' own conversion reads it, with "0x"
    // standing for "$"; nothing else may come first.
    std::string body(t);
    if (body.starts_with("0x") || body.starts_with("0X")) body.replace(0, 2, "$");
    if (body.empty() || body.front() == '+' || body.front() == '-' || body.front() == ' ')
        return std::nullopt;
    const bool hex = body.front() == '$';
    if (negative && !hex) body.insert(0, "-");  // so that -2147483648 is in range
    const auto value = ParseIntegerText(body);
    // Hexadecimal is 32 bits of two's complement, negated as such.
    if (value && negative && hex)
        return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(*value));
    return value;
}

IniDocument::Line::Line(std::string text, LineEnd end, std::string_view mark)
    : Text(std::move(text)), End(end) {
    if (const auto name = SectionHeader(Text, mark)) {
        Header = true;
        NameAt = static_cast<std::uint32_t>(name->data() - Text.data());
        NameLength = static_cast<std::uint32_t>(name->size());
    }
}

IniDocument::IniDocument() {
#ifdef _WIN32
    m_newLineEnd = LineEnd::CrLf;
#else
    m_newLineEnd = LineEnd::Lf;
#endif
}

IniDocument IniDocument::Parse(std::string_view bytes) { return FromBytes(bytes, std::nullopt); }

IniDocument IniDocument::Parse(std::string_view bytes, TextEncoding encoding) {
    return FromBytes(bytes, encoding);
}

IniDocument IniDocument::FromBytes(std::string_view bytes, std::optional<TextEncoding> previous) {
    IniDocument doc;
    DecodedText decoded = DecodeText(bytes, previous);
    doc.m_encoding = decoded.Encoding;
    doc.m_byteOrderMark = std::move(decoded.ByteOrderMark);
    const std::string_view mark = ByteOrderMarkText(doc.m_encoding);
    std::string_view text = decoded.Utf8;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        if (nl == std::string_view::npos) {
            doc.m_lines.emplace_back(std::string(text), LineEnd::None, mark);
            break;
        }
        const bool crlf = nl > 0 && text[nl - 1] == '\r';
        doc.m_lines.emplace_back(std::string(text.substr(0, crlf ? nl - 1 : nl)),
                                 crlf ? LineEnd::CrLf : LineEnd::Lf, mark);
        text.remove_prefix(nl + 1);
    }
    if (!doc.m_lines.empty() && doc.m_lines.front().End != LineEnd::None)
        doc.m_newLineEnd = doc.m_lines.front().End;
    return doc;
}

std::string IniDocument::Text() const {
    static constexpr std::string_view kEnds[] = {"", "\n", "\r\n"};
    std::size_t size = 0;
    for (const auto& line : m_lines) size += line.Text.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : m_lines) {
        text += line.Text;
        text += kEnds[static_cast<int>(line.End)];
    }
    return m_byteOrderMark + EncodeText(text, m_encoding);
}

std::string IniDocument::InFile(std::string_view text) const {
    return OneLine(Representable(text, m_encoding));
}

std::optional<IniDocument::Span> IniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (!m_lines[i].Header || !SameName(m_lines[i].SectionName(), section)) continue;
        std::size_t end = i + 1;
        while (end < m_lines.size() && !m_lines[end].Header) ++end;
        return Span{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(const Span& span, std::string_view key) const {
    for (std::size_t i = span.Header + 1; i < span.End; ++i) {
        const auto kv = ParseKeyLine(m_lines[i].Text, Mark());
        if (kv && SameName(kv->Key, key)) return i;
    }
    return std::nullopt;
}

void IniDocument::InsertLine(std::size_t at, std::string text) {
    if (at > 0 && m_lines[at - 1].End == LineEnd::None) m_lines[at - 1].End = m_newLineEnd;
    m_lines.emplace(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(text),
                    m_newLineEnd, Mark());
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    const auto span = FindSection(section);
    if (!span) return std::string(defaultValue);
    const auto at = FindKey(*span, key);
    if (!at) return std::string(defaultValue);
    const auto value = ParseKeyLine(m_lines[*at].Text, Mark())->Value;
    return std::string(FirstCharacters(value, kMaxStringLength));
}

std::int32_t IniDocument::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t defaultValue) const {
    return ParseProfileInteger(ReadString(section, key, "")).value_or(defaultValue);
}

bool IniDocument::ReadBool(std::string_view section, std::string_view key,
                           bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniDocument::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
    const std::string inFileValue = InFile(value);
    const auto span = FindSection(section);
    if (!span) {
        if (!m_lines.empty() && !Trim(m_lines.back().Text).empty()) InsertLine(m_lines.size(), "");
        InsertLine(m_lines.size(), "[" + InFile(section) + "]");
        InsertLine(m_lines.size(), InFile(key) + "=" + inFileValue);
        return;
    }
    if (const auto at = FindKey(*span, key)) {
        // The key keeps the spelling it has in the file.
        Line& line = m_lines[*at];
        line = Line(std::string(ParseKeyLine(line.Text, Mark())->Key) + "=" + inFileValue,
                    line.End, Mark());
        return;
    }
    // After the section's last line that is not blank, so a blank line before the next
    // section stays where it is.
    std::size_t at = span->End;
    while (at > span->Header + 1 && Trim(m_lines[at - 1].Text).empty()) --at;
    InsertLine(at, InFile(key) + "=" + inFileValue);
}

void IniDocument::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniDocument::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

// One pass, however many copies the section has.
void IniDocument::EraseSection(std::string_view section) {
    bool inSection = false;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].Header) inSection = SameName(m_lines[i].SectionName(), section);
        if (inSection) continue;
        if (kept != i) m_lines[kept] = std::move(m_lines[i]);
        ++kept;
    }
    m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(kept), m_lines.end());
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(section).has_value();
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> out;
    for (const auto& line : m_lines)
        if (line.Header) out.emplace_back(line.SectionName());
    return out;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
    std::vector<std::string> out;
    const auto span = FindSection(section);
    if (!span) return out;
    for (std::size_t i = span->Header + 1; i < span->End; ++i)
        if (const auto kv = ParseKeyLine(m_lines[i].Text, Mark())) out.emplace_back(kv->Key);
    return out;
}

}  // namespace kvartix
