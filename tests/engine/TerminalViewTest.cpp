#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/TerminalInput.h"
#include "engine/TerminalRender.h"

namespace kvartix {
namespace {

struct PasteCase {
    std::u32string Text;
    LineEnd End;
    std::string Bytes;
    std::u32string Refused;
};

TEST(terminal_paste,
     line_breaks_follow_the_line_end_and_foreign_characters_refuse_the_whole_paste) {
    const std::vector<PasteCase> cases = {
        {U"ab\r\ncd\ne\rf", LineEnd::Cr, "ab\rcd\re\rf", U""},
        {U"ab\r\ncd\n", LineEnd::Lf, "ab\ncd\n", U""},
        {U"a\nb", LineEnd::CrLf, "a\r\nb", U""},
        {U"Привет", LineEnd::Cr, "\xCF\xF0\xE8\xE2\xE5\xF2", U""},
        {U"a€b", LineEnd::Cr,
         "a\x88"
         "b",
         U""},
        {U"a☺b☺ä中", LineEnd::Cr, "", U"☺ä中"},
    };
    for (const auto& c : cases) {
        const PasteBytes p = ToPasteBytes(c.Text, c.End);
        EXPECT_EQ(p.Bytes, c.Bytes);
        EXPECT_EQ(p.Refused, c.Refused);
    }
    EXPECT_EQ(LineEndBytes(LineEnd::Cr), "\r");
}

struct RenderCase {
    TerminalViewOptions Options;
    std::string Stream;
    std::string Shown;    // complete lines or rows
    std::string Partial;  // a hex row still filling
};

TEST(terminal_render, every_view_shows_a_stream_the_same_however_it_is_cut) {
    const std::int64_t t = ((13 * 60 + 5) * 60 + 9) * 1000 + 42;  // 13:05:09.042
    const std::string sixteen = "0123456789ABCDEF";
    const std::string hexSixteen =
        "30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46  0123456789ABCDEF\n";
    const std::vector<RenderCase> cases = {
        {{false, false}, "ab\r\ncd\b\x01", "ab\r\ncd\b\x01", ""},
        {{false, true},
         "ab\r\ncd\rx\n\ny",
         "13:05:09.042 ab\r\n13:05:09.042 cd\r13:05:09.042 x\n"
         "13:05:09.042 \n13:05:09.042 y",
         ""},
        {{true, false},
         sixteen + "\r\n\x01\xC0",
         hexSixteen,
         "0D 0A 01 C0                                      ...\xC0"},
        {{true, true}, sixteen, "13:05:09.042 " + hexSixteen, ""},
        {{true, true}, "z", "", "13:05:09.042 7A                                               z"},
        // A backspace takes back received characters, never the time stamp before them.
        {{false, true},
         "\ndef" + std::string(14, '\b') + "X\r\b\by",
         "13:05:09.042 \n13:05:09.042 def\b\b\bX\r13:05:09.042 y",
         ""},
        // DEL is a control byte as much as those below the space.
        {{true, false}, "\x7F~ \x1F", "", "7F 7E 20 1F                                      .~ ."},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, c.Stream.size()}) {
            TerminalRender render(c.Options);
            std::string shown;
            for (std::size_t i = 0; i < c.Stream.size(); i += piece) {
                const std::string part = c.Stream.substr(i, piece);
                shown +=
                    render.Feed(reinterpret_cast<const std::uint8_t*>(part.data()), part.size(), t);
            }
            EXPECT_EQ(shown, c.Shown) << "piece " << piece;
            EXPECT_EQ(render.PartialRow(), c.Partial) << "piece " << piece;
        }
    }
}

}  // namespace
}  // namespace kvartix
