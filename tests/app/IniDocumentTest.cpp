#include <gtest/gtest.h>

#include "app/IniDocument.h"
#include "app/IniFile.h"
#include "support/TextBytes.h"

namespace kvartix {
namespace {

using test::kCourierCp1251;
using test::Utf16;

struct IntegerCase {
    const char* Value;
    std::int32_t Expected;  // with a default of 7
};

class IniInteger : public testing::TestWithParam<IntegerCase> {};

TEST_P(IniInteger, reads_decimal_and_hex_with_the_default_for_the_rest) {
    const auto doc = IniDocument::Parse(std::string("[A]\nk=") + GetParam().Value + "\n");
    EXPECT_EQ(doc.ReadInteger("A", "k", 7), GetParam().Expected) << GetParam().Value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniInteger,
    testing::Values(IntegerCase{"12", 12}, IntegerCase{" 42 ", 42}, IntegerCase{"-5", -5},
                    IntegerCase{"+5", 5}, IntegerCase{"$41", 65}, IntegerCase{"0x41", 65},
                    IntegerCase{"0X1f", 31}, IntegerCase{"-$10", -16}, IntegerCase{"$FFFFFFFF", -1},
                    IntegerCase{"-2147483648", INT32_MIN}, IntegerCase{"", 7},
                    IntegerCase{"abc", 7}, IntegerCase{"12abc", 7}, IntegerCase{"$", 7},
                    IntegerCase{"0x", 7}, IntegerCase{"- 5", 7}, IntegerCase{"2147483648", 7},
                    IntegerCase{"$100000000", 7}, IntegerCase{"1.5", 7}));

TEST(IniDocument, matches_names_without_case_and_takes_the_first_match) {
    const auto doc = IniDocument::Parse(
        "Top=1\n[params]\nBitRate=9600\nbitrate=1\n[Other]\nx=1\n[PARAMS]\nBitRate=300\nNew=5\n");
    EXPECT_EQ(doc.ReadInteger("Params", "BITRATE", 0), 9600);
    EXPECT_EQ(doc.ReadInteger("Params", "New", 0), 0) << "only the first copy is read";
    EXPECT_EQ(doc.ReadString("Program", "Top", "none"), "none") << "a key before any section";
    EXPECT_EQ(doc.ReadString("Missing", "x", "d"), "d");
    const std::string bom = "\xEF\xBB\xBF[Morvi]\r\nPlus=1\r\n";
    EXPECT_TRUE(IniDocument::Parse(bom).ReadBool("Morvi", "Plus", false));
    EXPECT_EQ(IniDocument::Parse(bom).Text(), bom);
}

TEST(IniDocument, updates_in_place_appends_keys_and_sections_and_keeps_other_lines) {
    auto doc = IniDocument::Parse(
        "; settings\n[Program]\nLeft=1\n; why\n Top = 2 \n\n[Parameters]\nPort=COM1\n");
    doc.WriteInteger("program", "LEFT", 5);
    doc.WriteInteger("Program", "top", -3);
    doc.WriteString("Program", "Width", "300");
    doc.WriteBool("New", "On", true);
    EXPECT_EQ(doc.Text(),
              "; settings\n[Program]\nLeft=5\n; why\nTop=-3\nWidth=300\n\n[Parameters]\n"
              "Port=COM1\n\n[New]\nOn=1\n");
}

TEST(IniDocument, erases_one_section_whole_in_all_its_copies) {
    auto doc =
        IniDocument::Parse("[Morvi]\nPlus=1\n\n[Test]\na=1\n; note\n\n[Keep]\nb=2\n[test]\nc=3\n");
    doc.EraseSection("TEST");
    EXPECT_EQ(doc.Text(), "[Morvi]\nPlus=1\n\n[Keep]\nb=2\n");
    doc.WriteInteger("Test", "d", 4);
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"Morvi", "Keep", "Test"}));
}

TEST(IniDocument, keeps_the_line_ends_of_the_file) {
    auto crlf = IniDocument::Parse("[A]\r\nk=1\r\n");
    EXPECT_EQ(crlf.ReadString("A", "k", ""), "1");
    crlf.WriteInteger("A", "k", 2);
    crlf.WriteInteger("B", "j", 3);
    EXPECT_EQ(crlf.Text(), "[A]\r\nk=2\r\n\r\n[B]\r\nj=3\r\n");

    auto lf = IniDocument::Parse("[A]\nk=1\n");
    lf.WriteInteger("A", "j", 3);
    EXPECT_EQ(lf.Text(), "[A]\nk=1\nj=3\n");

    IniDocument fresh;
    fresh.WriteInteger("A", "k", 1);
#ifdef _WIN32
    EXPECT_EQ(fresh.Text(), "[A]\r\nk=1\r\n");
#else
    EXPECT_EQ(fresh.Text(), "[A]\nk=1\n");
#endif
}

TEST(IniDocument, handles_a_file_without_trailing_newline) {
    const std::string text = "[A]\nk=1";
    auto doc = IniDocument::Parse(text);
    EXPECT_EQ(doc.Text(), text);
    EXPECT_EQ(doc.ReadInteger("A", "k", 0), 1);
    doc.WriteInteger("A", "j", 2);
    EXPECT_EQ(doc.Text(), "[A]\nk=1\nj=2\n");
}

TEST(IniDocument, reads_at_most_1023_characters_and_writes_the_whole_value) {
    IniDocument doc;
    doc.WriteString("A", "k", std::string(5000, 'x'));
    const auto reread = IniDocument::Parse(doc.Text());
    EXPECT_EQ(reread.ReadString("A", "k", ""), std::string(1023, 'x'));
    EXPECT_NE(doc.Text().find(std::string(5000, 'x')), std::string::npos);
}

TEST(IniDocument, a_value_cannot_break_its_line) {
    IniDocument doc;
    doc.WriteString("A", "Port", "x\n[Evil]\r\ny=1");
    const auto reread = IniDocument::Parse(doc.Text());
    EXPECT_FALSE(reread.HasSection("Evil"));
    EXPECT_EQ(reread.ReadString("A", "Port", ""), "x [Evil]  y=1");
}

struct EncodingCase {
    const char* What;
    std::string Bytes;
    TextEncoding Encoding;
    std::string Name;  // TerminalFont/Name as read, UTF-8
};

class IniEncoding : public testing::TestWithParam<EncodingCase> {};

// The whole file decides; every byte comes back as it was.
TEST_P(IniEncoding, is_decided_once_for_the_whole_file_and_keeps_every_byte) {
    const auto& c = GetParam();
    const auto doc = IniDocument::Parse(c.Bytes);
    EXPECT_EQ(doc.Encoding(), c.Encoding);
    EXPECT_EQ(doc.ReadString("TerminalFont", "Name", "-"), c.Name);
    EXPECT_EQ(doc.Text(), c.Bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniEncoding,
    testing::Values(
        EncodingCase{"ascii", "[TerminalFont]\nName=Courier\n", TextEncoding::Utf8, "Courier"},
        EncodingCase{"utf8", "[TerminalFont]\r\nName=Курьер Моно\r\n", TextEncoding::Utf8,
                     "Курьер Моно"},
        EncodingCase{"utf8_mark", "\xEF\xBB\xBF[TerminalFont]\nName=Моно\n", TextEncoding::Utf8,
                     "Моно"},
        EncodingCase{"cp1251", "[TerminalFont]\r\nName=" + kCourierCp1251 + "\r\n",
                     TextEncoding::Windows1251, "Курьер Моно"},
        // Valid UTF-8 in one place does not make the file UTF-8: "П" in UTF-8 reads as "Рџ".
        EncodingCase{"one_byte_decides", "[TerminalFont]\nName=\xD0\x9F\n[Mine]\nx=\xFF\n",
                     TextEncoding::Windows1251, "Рџ"},
        EncodingCase{"every_byte", "[TerminalFont]\nName=\x98\x80\xFF\x01\n",
                     TextEncoding::Windows1251, "\u0098Ђя\x01"},
        EncodingCase{"utf16le", Utf16(u"[TerminalFont]\r\nName=Курьер Моно\r\n"),
                     TextEncoding::Utf16LE, "Курьер Моно"},
        EncodingCase{"utf16be", Utf16(u"[TerminalFont]\nName=Моно 😀\n", true),
                     TextEncoding::Utf16BE, "Моно 😀"},
        // An odd byte or a lone surrogate is not UTF-16: bytes then.
        EncodingCase{"utf16_broken", Utf16(u"[TerminalFont]\nName=x\n") + "\n",
                     TextEncoding::Windows1251, "-"},
        EncodingCase{"utf16_lone_surrogate", Utf16(u"[TerminalFont]\nName=\xD800\n"),
                     TextEncoding::Windows1251, "-"}),
    [](const auto& info) { return std::string(info.param.What); });

struct WriteCase {
    const char* What;
    std::string Before;
    std::string Value;  // written to TerminalFont/Name
    std::string After;
};

class IniEncodingWrite : public testing::TestWithParam<WriteCase> {};

// What the program writes goes into the file in the file's own encoding.
TEST_P(IniEncodingWrite, goes_in_the_files_encoding) {
    const auto& c = GetParam();
    auto doc = IniDocument::Parse(c.Before);
    doc.WriteString("TerminalFont", "Name", c.Value);
    doc.WriteString("Parameters", "Port", "COM1");
    EXPECT_EQ(doc.Text(), c.After);
    EXPECT_EQ(IniDocument::Parse(doc.Text()).Encoding(), doc.Encoding());
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniEncodingWrite,
    testing::Values(
        WriteCase{"utf8", "[TerminalFont]\nName=Courier\n", "Курьер Моно",
                  "[TerminalFont]\nName=Курьер Моно\n\n[Parameters]\nPort=COM1\n"},
        WriteCase{"cp1251", "[Mine]\r\nx=\xC6\r\n", "Курьер Моно",
                  "[Mine]\r\nx=\xC6\r\n\r\n[TerminalFont]\r\nName=" + kCourierCp1251 +
                      "\r\n\r\n[Parameters]\r\nPort=COM1\r\n"},
        // What Windows-1251 cannot carry is written as "?", and so read back.
        WriteCase{"cp1251_outside", "[TerminalFont]\nName=\xC6\n", "Noto 思源 €",
                  "[TerminalFont]\nName=Noto ?? \x88\n\n[Parameters]\nPort=COM1\n"},
        // Bytes that are not UTF-8 do not slip into a UTF-8 file.
        WriteCase{"utf8_bad_value", "[TerminalFont]\nName=Courier\n", "a\xFF" "b",
                  "[TerminalFont]\nName=a\uFFFDb\n\n[Parameters]\nPort=COM1\n"},
        WriteCase{"utf16le", Utf16(u"[TerminalFont]\r\nName=Courier\r\n"), "Курьер",
                  Utf16(u"[TerminalFont]\r\nName=Курьер\r\n\r\n[Parameters]\r\nPort=COM1\r\n")},
        WriteCase{"utf16be", Utf16(u"[Mine]\n", true), "Моно",
                  Utf16(u"[Mine]\n\n[TerminalFont]\nName=Моно\n\n[Parameters]\nPort=COM1\n",
                        true)}),
    [](const auto& info) { return std::string(info.param.What); });

// The mark stays in front of the file when the save erases the section it stood before, and a
// mark in front of any line does not hide its header.
TEST(IniDocument, keeps_the_byte_order_mark_when_the_first_section_goes) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xEF\xBB\xBF[Test]\nx=1\n[Mine]\ny=2\n", "\xEF\xBB\xBF[Mine]\ny=2\n"},
        {"\xEF\xBB\xBF[Test]\nx=\xC6\n[Mine]\ny=2\n", "\xEF\xBB\xBF[Mine]\ny=2\n"},
        {Utf16(u"[Test]\r\nx=1\r\n[Mine]\r\ny=Ж\r\n"), Utf16(u"[Mine]\r\ny=Ж\r\n")},
        {"[Test]\nx=1\n\xEF\xBB\xBF[Mine]\ny=2\n", "\xEF\xBB\xBF[Mine]\ny=2\n"},
    };
    for (const auto& [before, after] : cases) {
        auto doc = IniDocument::Parse(before);
        const auto encoding = doc.Encoding();
        EXPECT_EQ(doc.ReadString("Mine", "y", "-"), encoding == TextEncoding::Utf16LE ? "Ж" : "2");
        doc.EraseSection("Test");
        EXPECT_EQ(doc.Text(), after);
        EXPECT_EQ(IniDocument::Parse(doc.Text(), encoding).Encoding(), encoding);
        EXPECT_EQ(IniDocument::Parse(doc.Text(), encoding).Sections(),
                  std::vector<std::string>{"Mine"});
    }
}

TEST(IniFile, a_missing_file_reads_as_empty) {
    const auto read = ReadIniFile("/nonexistent-folder/kvartix.ini");
    EXPECT_FALSE(read.Found);
    EXPECT_EQ(read.Problem, "");
    EXPECT_EQ(read.Doc.Text(), "");
    EXPECT_EQ(read.Doc.ReadInteger("Program", "Left", 20), 20);
}

}  // namespace
}  // namespace kvartix
