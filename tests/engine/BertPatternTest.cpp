#include <gtest/gtest.h>

#include "engine/BertPattern.h"

namespace kvartix {
namespace {

struct PatternCase {
    std::int32_t PacketSize;
    std::uint16_t DataMask;
    std::vector<std::uint8_t> Packet;  // the first packet, or its first bytes
};

class BertPatternVectors : public ::testing::TestWithParam<PatternCase> {};

TEST_P(BertPatternVectors, match_the_reference_stream) {
    const auto& c = GetParam();
    BertPattern pattern;
    Random rng;
    BuildBertPattern(pattern, c.PacketSize, c.DataMask, 0x5A, rng);
    const std::vector<std::uint8_t> got(pattern.At(0), pattern.At(0) + c.Packet.size());
    EXPECT_EQ(got, c.Packet);
    EXPECT_EQ(*pattern.At(-1), 17);
}

INSTANTIATE_TEST_SUITE_P(
    Reference, BertPatternVectors,
    ::testing::Values(PatternCase{8, 0xFF, {18, 7, 10, 150, 24, 34, 69, 64}},
                      PatternCase{4, 0xFF, {18, 7, 10, 150}},
                      PatternCase{16, 0x1F, {18, 7, 10, 22, 24, 2, 5, 0, 22, 24, 10, 22, 29, 1, 3, 0}},
                      PatternCase{1, 0x7F, {0x5A, 0x5A, 0x5A}},
                      PatternCase{1, 0x1F, {0x1A, 0x1A, 0x1A}}));

TEST(BertPattern, packet_64_with_5_data_bits_redraws_the_two_flow_characters) {
    BertPattern pattern;
    Random rng;
    BuildBertPattern(pattern, 64, 0x1F, 0, rng);
    EXPECT_EQ(*pattern.At(36), 13);
    EXPECT_EQ(*pattern.At(58), 1);
    // 62 accepted draws and 2 rejected ones.
    Random expected{123456};
    for (int i = 0; i < 64; ++i) expected.RandomBelow(255);
    EXPECT_EQ(rng.RandomSeed, expected.RandomSeed);
}

TEST(BertPattern, repeats_the_packet_over_the_filled_body_and_never_holds_flow_characters) {
    for (std::int32_t p : {4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048}) {
        for (std::uint16_t mask : {0x1F, 0x3F, 0x7F, 0xFF}) {
            BertPattern pattern;
            Random rng;
            BuildBertPattern(pattern, p, mask, 0, rng);
            const std::uint8_t* body = pattern.At(0);
            const std::int32_t filled = kPatternBody / p * p;
            for (std::int32_t i = 0; i < filled; ++i) {
                ASSERT_EQ(body[i], body[i % p]) << p << " " << i;
                if (i % p >= 2) {
                    ASSERT_NE(body[i], 17);
                    ASSERT_NE(body[i], 19);
                    ASSERT_FALSE(body[i] == 7 && body[i - 1] == 18);
                    ASSERT_EQ(body[i] & ~mask, 0);
                }
            }
            for (std::int32_t i = filled; i < kPatternBody; ++i) ASSERT_EQ(body[i], 0);
        }
    }
}

TEST(BertPattern, single_symbol_makes_no_draw) {
    BertPattern pattern;
    Random rng;
    BuildBertPattern(pattern, 1, 0xFF, 0xC3, rng);
    EXPECT_EQ(rng.RandomSeed, 123456u);
    EXPECT_EQ(*pattern.At(kPatternBody - 1), 0xC3);
}

TEST(RandomBelow, stays_below_its_bound_and_gives_zero_for_zero) {
    Random rng{1};
    for (int i = 0; i < 1000; ++i) ASSERT_LT(rng.RandomBelow(7), 7);
    EXPECT_EQ(rng.RandomBelow(0), 0);
}

}  // namespace
}  // namespace kvartix
