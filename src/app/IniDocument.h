#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/TextEncoding.h"

namespace kvartix {

// A settings file in memory, with the reading and writing rules of the platform's
// private-profile functions: sections and keys matched without regard to ASCII letter case,
// the first match wins, a value replaced where it stands, a new key appended to its section,
// a new section appended to the file. Every other line (comments, blank lines, unknown keys,
// keys before the first section) is kept byte for byte, line ends included. A byte-order mark
// in front of a line (editors put one in front of the file) does not hide its header.
//
// Names and values are UTF-8 here; the file keeps the encoding it was read in (DecodeText):
// UTF-8, Windows-1251 or UTF-16, and what is written goes into it in that encoding. Every
// operation takes time in proportion to the file's size, whatever it holds.
class IniDocument {
  public:
    static constexpr std::size_t kMaxStringLength = 1023;

    // An empty UTF-8 file; new lines get the platform's line end.
    IniDocument();
    // A file's bytes, in the encoding DecodeText decides for them; new lines get the line end
    // of its first line (CRLF or LF).
    static IniDocument Parse(std::string_view bytes);
    // Bytes that Text() of a document in this encoding gave, read back in it.
    static IniDocument Parse(std::string_view bytes, TextEncoding encoding);
    // The file's bytes.
    std::string Text() const;
    TextEncoding Encoding() const { return m_encoding; }

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

    // Line breaks in a value become blanks, so that a value can never start a line of its own;
    // what the file's encoding cannot carry becomes "?" (Representable).
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
    enum class LineEnd : std::uint8_t { None, Lf, CrLf };  // None: a last line without one
    struct Line {
        Line(std::string text, LineEnd end, std::string_view byteOrderMark);
        std::string_view SectionName() const {
            return std::string_view(Text).substr(NameAt, NameLength);
        }
        std::string Text;
        LineEnd End;
        // A section header, and where its name lies in Text: found once, since a file may
        // hold a million of them.
        bool Header = false;
        std::uint32_t NameAt = 0;
        std::uint32_t NameLength = 0;
    };
    // Where a section's lines lie: its header and the line past its last line.
    struct Span {
        std::size_t Header;
        std::size_t End;
    };

    static IniDocument FromBytes(std::string_view bytes, std::optional<TextEncoding> previous);
    std::optional<Span> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const Span& span, std::string_view key) const;
    void InsertLine(std::size_t at, std::string text);
    std::string InFile(std::string_view text) const;
    std::string_view Mark() const { return ByteOrderMarkText(m_encoding); }

    TextEncoding m_encoding = TextEncoding::Utf8;
    std::string m_byteOrderMark;  // the file's bytes in front of its first line
    std::vector<Line> m_lines;
    LineEnd m_newLineEnd;  // of the lines this program adds
};

// The integer rule of ReadInteger on its own; nullopt when the text is not a number.
std::optional<std::int32_t> ParseProfileInteger(std::string_view text);

}  // namespace kvartix
