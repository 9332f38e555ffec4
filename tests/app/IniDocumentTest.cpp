#include <gtest/gtest.h>

#include "app/IniDocument.h"
#include "app/IniFile.h"

namespace kvartix {
namespace {

struct IntegerCase {
    const char* Value;
    std::int32_t Expected;  // with a default of 7
};

class IniInteger : public testing::TestWithParam<IntegerCase> {};

TEST_P(IniInteger, ReadsDecimalAndHexWithTheDefaultForTheRest) {
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

TEST(IniDocument, MatchesNamesWithoutCaseAndTakesTheFirstMatch) {
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

TEST(IniDocument, UpdatesInPlaceAppendsKeysAndSectionsAndKeepsOtherLines) {
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

TEST(IniDocument, ErasesOneSectionWholeInAllItsCopies) {
    auto doc =
        IniDocument::Parse("[Morvi]\nPlus=1\n\n[Test]\na=1\n; note\n\n[Keep]\nb=2\n[test]\nc=3\n");
    doc.EraseSection("TEST");
    EXPECT_EQ(doc.Text(), "[Morvi]\nPlus=1\n\n[Keep]\nb=2\n");
    doc.WriteInteger("Test", "d", 4);
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"Morvi", "Keep", "Test"}));
}

TEST(IniDocument, KeepsTheLineEndsOfTheFile) {
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

TEST(IniDocument, HandlesAFileWithoutTrailingNewline) {
    const std::string text = "[A]\nk=1";
    auto doc = IniDocument::Parse(text);
    EXPECT_EQ(doc.Text(), text);
    EXPECT_EQ(doc.ReadInteger("A", "k", 0), 1);
    doc.WriteInteger("A", "j", 2);
    EXPECT_EQ(doc.Text(), "[A]\nk=1\nj=2\n");
}

TEST(IniDocument, ReadsAtMost1023CharactersAndWritesTheWholeValue) {
    IniDocument doc;
    doc.WriteString("A", "k", std::string(5000, 'x'));
    const auto reread = IniDocument::Parse(doc.Text());
    EXPECT_EQ(reread.ReadString("A", "k", ""), std::string(1023, 'x'));
    EXPECT_NE(doc.Text().find(std::string(5000, 'x')), std::string::npos);
}

TEST(IniDocument, AValueCannotBreakItsLine) {
    IniDocument doc;
    doc.WriteString("A", "Port", "x\n[Evil]\r\ny=1");
    const auto reread = IniDocument::Parse(doc.Text());
    EXPECT_FALSE(reread.HasSection("Evil"));
    EXPECT_EQ(reread.ReadString("A", "Port", ""), "x [Evil]  y=1");
}

TEST(IniFile, AMissingFileReadsAsEmpty) {
    const auto doc = LoadIniFile("/nonexistent-folder/kvartix.ini");
    EXPECT_EQ(doc.Text(), "");
    EXPECT_EQ(doc.ReadInteger("Program", "Left", 20), 20);
}

}  // namespace
}  // namespace kvartix
