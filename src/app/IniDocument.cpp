#include "app/IniDocument.h"

#include <algorithm>
#include <cctype>

#include "app/IntegerText.h"

namespace kvartix {
namespace {

#ifdef _WIN32
constexpr std::string_view kPlatformLineEnd = "\r\n";
#else
constexpr std::string_view kPlatformLineEnd = "\n";
#endif

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// "[name]", blanks allowed around the name and the brackets.
std::optional<std::string_view> SectionHeader(std::string_view line) {
    const auto t = Trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const auto close = t.rfind(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

struct KeyLine {
    std::string_view Key;
    std::string_view Value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    const auto t = Trim(line);
    if (t.empty() || t.front() == '[' || t.front() == ';') return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyLine{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// A value or name may not break the line it is written on.
std::string OneLine(std::string_view s) {
    std::string out(s);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
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

IniDocument::IniDocument() : m_newLineEnd(kPlatformLineEnd) {}

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument doc;
    // Editors may put one in front; it must not hide the first section's header.
    if (text.starts_with("\xEF\xBB\xBF")) {
        doc.m_byteOrderMark = text.substr(0, 3);
        text.remove_prefix(3);
    }
    while (!text.empty()) {
        const auto nl = text.find('\n');
        if (nl == std::string_view::npos) {
            doc.m_lines.push_back({std::string(text), ""});
            break;
        }
        const bool crlf = nl > 0 && text[nl - 1] == '\r';
        doc.m_lines.push_back(
            {std::string(text.substr(0, crlf ? nl - 1 : nl)), crlf ? "\r\n" : "\n"});
        text.remove_prefix(nl + 1);
    }
    if (!doc.m_lines.empty() && !doc.m_lines.front().End.empty())
        doc.m_newLineEnd = doc.m_lines.front().End;
    return doc;
}

std::string IniDocument::Text() const {
    std::string out = m_byteOrderMark;
    for (const auto& line : m_lines) out += line.Text + line.End;
    return out;
}

std::optional<IniDocument::Span> IniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const auto name = SectionHeader(m_lines[i].Text);
        if (!name || !SameName(*name, section)) continue;
        std::size_t end = i + 1;
        while (end < m_lines.size() && !SectionHeader(m_lines[end].Text)) ++end;
        return Span{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(const Span& span, std::string_view key) const {
    for (std::size_t i = span.Header + 1; i < span.End; ++i) {
        const auto kv = ParseKeyLine(m_lines[i].Text);
        if (kv && SameName(kv->Key, key)) return i;
    }
    return std::nullopt;
}

void IniDocument::InsertLine(std::size_t at, std::string text) {
    if (at > 0 && m_lines[at - 1].End.empty()) m_lines[at - 1].End = m_newLineEnd;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at),
                   Line{std::move(text), m_newLineEnd});
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    const auto span = FindSection(section);
    if (!span) return std::string(defaultValue);
    const auto at = FindKey(*span, key);
    if (!at) return std::string(defaultValue);
    const auto value = ParseKeyLine(m_lines[*at].Text)->Value;
    return std::string(value.substr(0, kMaxStringLength));
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
    const std::string line = OneLine(key) + "=" + OneLine(value);
    const auto span = FindSection(section);
    if (!span) {
        if (!m_lines.empty() && !Trim(m_lines.back().Text).empty()) InsertLine(m_lines.size(), "");
        InsertLine(m_lines.size(), "[" + OneLine(section) + "]");
        InsertLine(m_lines.size(), line);
        return;
    }
    if (const auto at = FindKey(*span, key)) {
        // The key keeps the spelling it has in the file.
        m_lines[*at].Text =
            std::string(ParseKeyLine(m_lines[*at].Text)->Key) + "=" + OneLine(value);
        return;
    }
    // After the section's last line that is not blank, so a blank line before the next
    // section stays where it is.
    std::size_t at = span->End;
    while (at > span->Header + 1 && Trim(m_lines[at - 1].Text).empty()) --at;
    InsertLine(at, line);
}

void IniDocument::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void IniDocument::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniDocument::EraseSection(std::string_view section) {
    while (const auto span = FindSection(section))
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(span->Header),
                      m_lines.begin() + static_cast<std::ptrdiff_t>(span->End));
}

bool IniDocument::HasSection(std::string_view section) const {
    return FindSection(section).has_value();
}

std::vector<std::string> IniDocument::Sections() const {
    std::vector<std::string> out;
    for (const auto& line : m_lines)
        if (const auto name = SectionHeader(line.Text)) out.emplace_back(*name);
    return out;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
    std::vector<std::string> out;
    const auto span = FindSection(section);
    if (!span) return out;
    for (std::size_t i = span->Header + 1; i < span->End; ++i)
        if (const auto kv = ParseKeyLine(m_lines[i].Text)) out.emplace_back(kv->Key);
    return out;
}

}  // namespace kvartix
