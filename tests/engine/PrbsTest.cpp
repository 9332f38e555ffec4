// The program's pattern generator against O.150's registers built independently in the test.
#include <gtest/gtest.h>

#include <string>

#include "engine/Prbs.h"
#include "support/O150Reference.h"

namespace kvartix {
namespace {

std::string FirstBits(LinePattern p, int count) {
    PatternGenerator g(p);
    std::string bits;
    for (int i = 0; i < count; ++i) bits += g.NextBit() ? '1' : '0';
    return bits;
}

// The first 32 bits on the line of each, from O.150's starting phase (every stage at one).
struct KnownAnswer {
    LinePattern Pattern;
    const char* First32;
};
constexpr KnownAnswer kKnownAnswers[] = {
    {LinePattern::Prbs9, "11111111100000111101111100010111"},
    {LinePattern::Prbs11, "11111111111000000000110000000111"},
    {LinePattern::Prbs15, "00000000000000011111111111111011"},
    {LinePattern::Prbs20, "11111111111111111111000111000111"},
    {LinePattern::Qrss20, "11111111111111111111111000000000"},
    {LinePattern::Prbs23, "00000000000000000000000111111111"},
    {LinePattern::Prbs31, "00000000000000000000000000000001"},
    {LinePattern::Zeros, "00000000000000000000000000000000"},
    {LinePattern::Ones, "11111111111111111111111111111111"},
    {LinePattern::Alt, "10101010101010101010101010101010"},
};

TEST(Prbs, each_pattern_begins_with_its_known_answer) {
    for (const KnownAnswer& k : kKnownAnswers)
        EXPECT_EQ(FirstBits(k.Pattern, 32), k.First32) << PatternName(k.Pattern);
}

TEST(Prbs, the_characters_carry_the_reference_sequence_for_a_million_bits_at_every_data_width) {
    constexpr std::size_t kBits = 1'000'000;
    for (const LinePattern p : kTestPatterns) {
        const std::vector<bool> reference = test::O150Reference(p).Bits(kBits);
        for (int dataBits = 5; dataBits <= 8; ++dataBits) {
            PatternGenerator g(p);
            std::vector<std::uint8_t> chars(kBits / static_cast<std::size_t>(dataBits));
            g.Fill(chars.data(), chars.size(), dataBits);
            std::size_t bit = 0, mismatches = 0;
            for (const std::uint8_t c : chars) {
                EXPECT_EQ(c >> dataBits, 0) << "only the data bits are the pattern's";
                for (int b = 0; b < dataBits; ++b, ++bit)
                    if (((c >> b) & 1) != reference[bit]) ++mismatches;
            }
            EXPECT_EQ(mismatches, 0u) << PatternName(p) << " with " << dataBits << " data bits";
        }
    }
}

// A maximal-length sequence repeats after 2^n-1 bits and not before: the polynomials are right.
TEST(Prbs, each_short_sequence_repeats_after_exactly_its_period) {
    for (const auto& [p, period] : {std::pair{LinePattern::Prbs9, 511},
                                    {LinePattern::Prbs11, 2047},
                                    {LinePattern::Prbs15, 32767}}) {
        PatternGenerator g(p);
        std::vector<bool> bits(2 * static_cast<std::size_t>(period));
        for (auto&& b : bits) b = g.NextBit();
        for (int shift = 1; shift <= period; ++shift) {
            bool same = true;
            for (int i = 0; i < period && same; ++i) same = bits[i] == bits[i + shift];
            EXPECT_EQ(same, shift == period) << PatternName(p) << " shifted by " << shift;
        }
    }
}

TEST(Prbs, the_zero_suppressed_sequence_never_sends_more_than_fourteen_zeros) {
    PatternGenerator g(LinePattern::Qrss20);
    int run = 0, longest = 0;
    for (int i = 0; i < (1 << 21); ++i) {
        run = g.NextBit() ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    EXPECT_EQ(longest, 14);
}

TEST(Prbs, names_read_back_as_their_patterns_in_any_letter_case) {
    for (const LinePattern p : kTestPatterns) {
        EXPECT_EQ(PatternNamed(PatternName(p)), p);
        EXPECT_EQ(PatternNamed(PatternShortName(p)).value_or(p), p) << "no other pattern's";
        EXPECT_LE(std::string(PatternShortName(p)).size(), 6u) << "fits the packet-size box";
    }
    EXPECT_EQ(PatternNamed("PRBS15"), LinePattern::Prbs15);
    EXPECT_EQ(PatternNamed("prbs16"), std::nullopt);
    EXPECT_EQ(PatternNamed(""), std::nullopt);
}

}  // namespace
}  // namespace kvartix
