#include <gtest/gtest.h>

#include "engine/ErrorCaptions.h"
#include "engine/ProgramLine.h"

namespace kvartix {
namespace {

TEST(LineSettingsFrom, takes_every_line_field_of_the_program_settings) {
    ProgramSettings p;
    p.Port = "/dev/ttyUSB1";
    p.BitRate = IntegerEntry::Typed("9600");
    p.DataBits = 7;
    p.StopBits = TwoStopBits;
    p.Parity = EvenParity;
    p.XonXoff = p.RtsCts = p.DSREnable = p.RandomFlow = true;
    p.DTREnable = false;
    p.PacketIndex = 0;
    p.Symbol = IntegerEntry::Typed("$1F");
    p.Pattern = LinePattern::Prbs23;
    const LineSettingsResult r = LineSettingsFrom(p);
    ASSERT_TRUE(r.Settings) << r.Error;
    const LineSettings& s = *r.Settings;
    EXPECT_EQ(s.Port, "/dev/ttyUSB1");
    EXPECT_EQ(s.BitRate, 9600);
    EXPECT_EQ(s.DataBits, 7);
    EXPECT_EQ(s.StopBits, TwoStopBits);
    EXPECT_EQ(s.Parity, EvenParity);
    EXPECT_TRUE(s.XonXoff && s.RtsCts && s.DSREnable && s.RandomFlow);
    EXPECT_FALSE(s.DTREnable);
    EXPECT_EQ(s.PacketSize, 1);
    EXPECT_EQ(s.Symbol, 0x1F);
    EXPECT_EQ(s.Pattern, LinePattern::Prbs23);
}

TEST(LineSettingsFrom, a_bit_rate_that_is_no_whole_number_gives_the_conversion_message) {
    ProgramSettings p;
    p.BitRate = IntegerEntry::Typed("96OO");
    const LineSettingsResult r = LineSettingsFrom(p);
    EXPECT_FALSE(r.Settings);
    EXPECT_EQ(r.Error, "'96OO' is not a valid integer value");
}

TEST(LineSettingsFrom, packet_index_and_symbol_text_map_to_their_values) {
    struct Case {
        int PacketIndex;
        const char* SymbolText;
        std::int32_t PacketSize;
        std::uint8_t Symbol;
    };
    const Case cases[] = {
        {0, "$5A", 1, 0x5A},  {8, "90", 512, 90},     {10, "$15A", 2048, 0x5A},
        {-1, "x", 512, 0x5A}, {11, "255", 512, 0xFF}, {3, "$100", 16, 0x00},
    };
    for (const Case& c : cases) {
        ProgramSettings p;
        p.PacketIndex = c.PacketIndex;
        p.Symbol = IntegerEntry::Typed(c.SymbolText);
        const LineSettingsResult r = LineSettingsFrom(p);
        ASSERT_TRUE(r.Settings);
        EXPECT_EQ(r.Settings->PacketSize, c.PacketSize) << c.PacketIndex;
        EXPECT_EQ(r.Settings->Symbol, c.Symbol) << c.SymbolText;
    }
}

TEST(LineChoices, lists_read_as_the_choices_the_options_name) {
    EXPECT_EQ(ChoiceList(kStopBitNames), "1|1.5|2");
    EXPECT_EQ(ChoiceList(kParityNames), "none|odd|even|mark|space");
    EXPECT_EQ(ChoiceList(kPacketSizeEntries), "1|4|8|16|32|64|128|256|512|1024|2048");
    EXPECT_EQ(kParityLetters[MarkParity], 'M');
    EXPECT_EQ(kStopBitNames[One5StopBits], std::string("1.5"));
}

TEST(ErrorCaptions, a_count_follows_the_caption_unless_it_is_zero) {
    EXPECT_EQ(DriverErrorCaption(DriverErrorRow::Overrun) + CountSuffix(3), "Receive overrun = 3");
    EXPECT_EQ(PacketErrorCaption(PacketErrorRow::SyncLost) + CountSuffix(0), "Sync is lost");
    EXPECT_EQ(CountSuffix(-2), " = -2");
}

}  // namespace
}  // namespace kvartix
