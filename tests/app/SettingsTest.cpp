#include <gtest/gtest.h>

#include "app/Settings.h"

namespace kvartix {
namespace {

using Names = std::vector<std::string>;

ProgramSettings Loaded(const std::string& text) {
    ProgramSettings s;
    s.Load(IniDocument::Parse(text));
    return s;
}

TEST(Settings, a_new_file_gives_every_default) {
    ProgramSettings changed;
    changed.DataBits = 5;
    changed.Load(IniDocument());
    EXPECT_EQ(changed, ProgramSettings{});
    const ProgramSettings s;
    EXPECT_EQ(s.BitRate, IntegerEntry::Typed("115200"));
    EXPECT_EQ(s.Symbol, IntegerEntry::Typed("$5A"));
    EXPECT_FALSE(s.SymbolVisible);
    EXPECT_EQ(kPacketSizeEntries[s.PacketIndex], 512);
    EXPECT_TRUE(s.DTREnable && !s.DSREnable && !s.RandomFlow && !s.XonXoff && !s.RtsCts);
    EXPECT_TRUE(s.TerminalNormal);
    EXPECT_EQ(s.FontName, "Courier");
    EXPECT_FALSE(ReadPlus(IniDocument()));
}

TEST(Settings, a_save_writes_the_sections_and_keys_in_order_and_keeps_others) {
    auto doc = IniDocument::Parse(
        "[Morvi]\nPlus=1\n[Protocol]\nSymbol=1\n[Test]\n[Mine]\na=b\n[Parameters]\nPort=COM9\n");
    ASSERT_EQ(ProgramSettings{}.Save(doc), std::nullopt);
    EXPECT_EQ(doc.Sections(), (Names{"Morvi", "Mine", "Program", "Parameters", "Protocol",
                                     "Terminal", "TerminalFont"}))
        << "no record folder nobody chose";
    auto kept = IniDocument::Parse("[Record]\nFolder=\n");
    ASSERT_EQ(ProgramSettings{}.Save(kept), std::nullopt);
    EXPECT_EQ(kept.ReadString("Record", "Folder", "-"), "") << "a section that was there stays";
    EXPECT_EQ(doc.Keys("Program"), (Names{"Left", "Top"}));
    EXPECT_EQ(doc.Keys("Parameters"),
              (Names{"Port", "DataBits", "stopBits", "parity", "BitRate", "Xon/Xoff", "RTS/CTS",
                     "DTREnable", "DSREnable", "RandomFlow"}));
    EXPECT_EQ(doc.Keys("Protocol"), (Names{"PacketSize", "Symbol"}));
    EXPECT_EQ(doc.Keys("Terminal"), (Names{"Window", "Left", "Top", "Width", "Height"}));
    EXPECT_EQ(doc.Keys("TerminalFont"), (Names{"Name", "Size", "Color"}));
    EXPECT_TRUE(ReadPlus(doc));
    EXPECT_EQ(doc.ReadString("Mine", "a", ""), "b");
    EXPECT_EQ(doc.ReadString("Parameters", "Port", "-"), "");
}

TEST(Settings, a_round_trip_keeps_every_value) {
    ProgramSettings s;
    s.Left = -1200;
    s.Port = "/dev/ttyUSB0";
    s.RecordFolder = "/home/bench/records";
    s.DataBits = 7;
    s.StopBits = 2;
    s.Parity = 4;
    s.BitRate = IntegerEntry::Typed("12345");
    s.XonXoff = s.RtsCts = s.DSREnable = s.RandomFlow = true;
    s.DTREnable = false;
    s.PacketIndex = 0;
    s.SymbolVisible = true;
    s.Symbol = IntegerEntry::Typed("$12C");
    s.TerminalNormal = false;
    s.TerminalWidth = 640;
    s.FontName = "DejaVu Sans Mono";
    s.FontSize = 11;
    s.FontColor = -2147483643;
    IniDocument doc;
    ASSERT_EQ(s.Save(doc), std::nullopt);
    EXPECT_EQ(Loaded(doc.Text()), s);
}

TEST(Settings, terminal_view_choices_are_written_once_chosen_and_written_back_when_turned_off) {
    ProgramSettings s;
    s.TerminalHex = s.TerminalTimestamps = true;
    s.TerminalLineEnd = 2;
    IniDocument doc;
    ASSERT_EQ(s.Save(doc), std::nullopt);
    EXPECT_EQ(Loaded(doc.Text()), s);
    ASSERT_EQ(ProgramSettings{}.Save(doc), std::nullopt);
    EXPECT_EQ(doc.Keys("Terminal"),
              (Names{"Window", "Left", "Top", "Width", "Height", "Hex", "Timestamps", "LineEnd"}));
    EXPECT_EQ(Loaded(doc.Text()), ProgramSettings{});
    EXPECT_EQ(Loaded("[Terminal]\nLineEnd=3\n").TerminalLineEnd, 0);
}

TEST(Settings, a_hex_symbol_loads_as_dollar_hex_and_saves_as_decimal) {
    for (const char* stored : {"0x41", "$41"}) {
        auto doc = IniDocument::Parse(std::string("[Protocol]\nSymbol=") + stored + "\n");
        ProgramSettings s;
        s.Load(doc);
        EXPECT_EQ(s.Symbol, IntegerEntry::Typed("$41"));
        ASSERT_EQ(s.Save(doc), std::nullopt);
        EXPECT_EQ(doc.ReadString("Protocol", "Symbol", ""), "65");
    }
    EXPECT_EQ(SymbolHexText(5), "$05");
    EXPECT_EQ(SymbolHexText(300), "$12C");
    EXPECT_EQ(SymbolHexText(-1), "$FFFFFFFF");
}

struct PacketCase {
    std::int32_t Stored;
    std::int32_t Shown;
    bool SymbolVisible;
};

class PacketSize : public testing::TestWithParam<PacketCase> {};

TEST_P(PacketSize, selects_the_largest_entry_not_above_the_stored_value) {
    const auto s = Loaded("[Protocol]\nPacketSize=" + std::to_string(GetParam().Stored) + "\n");
    EXPECT_EQ(kPacketSizeEntries[s.PacketIndex], GetParam().Shown);
    EXPECT_EQ(s.SymbolVisible, GetParam().SymbolVisible);
}

INSTANTIATE_TEST_SUITE_P(Values, PacketSize,
                         testing::Values(PacketCase{100, 64, false}, PacketCase{2048, 2048, false},
                                         PacketCase{5000, 2048, false}, PacketCase{3, 1, false},
                                         PacketCase{1, 1, true}, PacketCase{0, 1, false},
                                         PacketCase{-5, 1, false}, PacketCase{4, 4, false}));

TEST(Settings, out_of_range_line_values_load_as_the_design_defaults) {
    auto s = Loaded("[Parameters]\nDataBits=9\nStopBits=3\nParity=-1\n");
    EXPECT_EQ(s.DataBits, 8);
    EXPECT_EQ(s.StopBits, 0);
    EXPECT_EQ(s.Parity, 0);
    s = Loaded("[Parameters]\nDataBits=5\nstopbits=2\nPARITY=4\nBitRate=12345\n");
    EXPECT_EQ(s.DataBits, 5);
    EXPECT_EQ(s.StopBits, 2);
    EXPECT_EQ(s.Parity, 4);
    EXPECT_EQ(s.BitRate, IntegerEntry::Typed("12345"));
}

TEST(Settings, a_text_that_is_not_a_number_leaves_the_file_untouched) {
    const std::string text = "[Program]\nLeft=5\n[Test]\n";
    for (auto field : {&ProgramSettings::BitRate, &ProgramSettings::Symbol}) {
        auto doc = IniDocument::Parse(text);
        ProgramSettings s;
        s.*field = IntegerEntry::Typed("12a");
        EXPECT_EQ(s.Save(doc), "'12a' is not a valid integer value.");
        EXPECT_EQ(doc.Text(), text);
    }
}

TEST(Settings, no_data_bits_button_checked_writes_no_key) {
    ProgramSettings s;
    s.DataBits = 0;
    IniDocument doc;
    ASSERT_EQ(s.Save(doc), std::nullopt);
    EXPECT_EQ(doc.Keys("Parameters").at(1), "stopBits");
}

}  // namespace
}  // namespace kvartix

namespace kvartix {
namespace {

TEST(Settings, a_test_pattern_is_written_by_name_beside_the_packet_size_it_keeps) {
    struct Case {
        LinePattern Pattern;
        const char* Key;  // the "Pattern" line written, or none
    };
    const Case kCases[] = {
        {LinePattern::Packets, nullptr},
        {LinePattern::Prbs15, "Pattern=prbs15"},
        {LinePattern::Qrss20, "Pattern=prbs20-qrss"},
        {LinePattern::Alt, "Pattern=alt"},
    };
    for (const Case& c : kCases) {
        ProgramSettings s;
        s.PacketIndex = PacketSizeIndex(64);
        s.Pattern = c.Pattern;
        IniDocument doc;
        ASSERT_EQ(s.Save(doc), std::nullopt);
        const std::string text = doc.Text();
        EXPECT_NE(text.find("PacketSize=64"), std::string::npos) << text;
        if (c.Key) {
            EXPECT_NE(text.find(c.Key), std::string::npos) << text;
        } else {
            EXPECT_EQ(text.find("Pattern"), std::string::npos) << text;
        }
        EXPECT_EQ(Loaded(text), s);
    }
}

TEST(Settings, a_pattern_name_the_program_does_not_know_loads_as_the_packets) {
    for (const char* text : {"[Protocol]\nPattern=prbs7\n", "[Protocol]\nPattern=\n",
                             "[Protocol]\nPattern=512\n"})
        EXPECT_EQ(Loaded(text).Pattern, LinePattern::Packets) << text;
    EXPECT_EQ(Loaded("[Protocol]\nPattern=PRBS31\n").Pattern, LinePattern::Prbs31);
}

}  // namespace
}  // namespace kvartix
