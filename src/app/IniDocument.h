#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvartix {

// A settings file in memory, with the reading and writing rules of the platform's
// private-profile functions: sections and keys matched without regard to ASCII letter case,
// the first match wins, a value replaced where it stands, a new key appended to its section,
// a new section appended to the file. Every other line (comments, blank lines, unknown keys,
// keys before the first section) is kept byte for byte, line ends included.
class IniDocument {
  public:
    static constexpr std::size_t kMaxStringLength = 1023;

    // An empty file; new lines get the platform's line end.
    IniDocument();
    // A file's text; new lines get the line end of its first line (CRLF or LF).
    static IniDocument Parse(std::string_view text);
    std::string Text() const;

    // The value trimmed of blanks, at most kMaxStringLength characters; the default when the
    // section or key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // Decimal, or hexadecimal after "$", "0x" or "0X", either with an optional sign; the
    // default for a missing or empty value or one that is not wholly a number.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t defaultValue) const;
    // Any non-zero number is true.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Line breaks in a value become blanks, so that a value can never start a line of its own.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    // Removes the section's header and every line up to the next header; a section that
    // appears more than once goes in all its copies.
    void EraseSection(std::string_view section);

    bool HasSection(std::string_view section) const;
    // Section names in file order, as written there.
    std::vector<std::string> Sections() const;
    // Key names of the section's first copy, in file order, as written there.
    std::vector<std::string> Keys(std::string_view section) const;

  private:
    struct Line {
        std::string Text;
        std::string End;  // "\r\n", "\n" or, for a last line without one, empty
    };
    // Where a section's lines lie: its header and the line past its last line.
    struct Span {
        std::size_t Header;
        std::size_t End;
    };

    std::optional<Span> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const Span& span, std::string_view key) const;
    void InsertLine(std::size_t at, std::string text);

    std::string m_byteOrderMark;  // a UTF-8 one, kept in front of the first line
    std::vector<Line> m_lines;
    std::string m_newLineEnd;
};

// The integer rule of ReadInteger on its own; nullopt when the text is not a number.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);

}  // namespace kvartix
