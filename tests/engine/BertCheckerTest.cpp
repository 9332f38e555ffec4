#include <gtest/gtest.h>

#include "engine/BertChecker.h"
#include "engine/BertPattern.h"

namespace kvartix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A checker fed from a 16-byte packet of 8 data bits, already past a first start code
// unless a test says otherwise.
class BertCheckerScenario : public ::testing::Test {
protected:
    static constexpr std::int32_t kPacket = 16;

    void SetUp() override {
        Random rng;
        BuildBertPattern(pattern, kPacket, 0xFF, 0, rng);
        checker.StartSession();
    }
    // The clean stream from a pattern position on.
    Bytes Stream(std::int32_t from, std::int32_t count) const {
        return Bytes(pattern.At(from), pattern.At(from) + count);
    }
    void Feed(const Bytes& data) {
        flags = {};
        checker.Check(data.data(), data.size(), pattern.At(0), kPacket - 1, mask, firstData,
                      errors, flags);
    }
    void Synchronise() {
        Feed(Stream(0, kPacket));
        ASSERT_FALSE(checker.Hunting);
        ASSERT_EQ(errors, 0);
    }
    // A byte that is neither the expected one nor the one after it.
    std::uint8_t Corrupt(std::int32_t position) const {
        std::uint8_t b = static_cast<std::uint8_t>(*pattern.At(position) ^ 0x80);
        if (b == *pattern.At((position + 1) % kPacket)) b ^= 0x40;
        return b;
    }

    BertPattern pattern;
    BertChecker checker;
    BertCycleFlags flags;
    bool firstData = true;
    std::int64_t errors = 0;
    std::uint16_t mask = 0xFF;
};

TEST_F(BertCheckerScenario, bytes_before_the_first_start_code_count_nothing) {
    Feed({1, 2, 3, 18, 18, 5});
    EXPECT_EQ(errors, 0);
    EXPECT_TRUE(firstData);
    EXPECT_TRUE(checker.Hunting);
    Feed(Stream(kPacket - 3, 3 + 2 * kPacket));
    EXPECT_EQ(errors, 0);
    EXPECT_FALSE(firstData);
    EXPECT_FALSE(checker.Hunting);
}

TEST_F(BertCheckerScenario, one_corrupted_symbol_is_an_invalid_symbol) {
    Synchronise();
    Bytes s = Stream(0, 2 * kPacket);
    s[5] = Corrupt(5);
    Feed(s);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(checker.InvalidSymbolCount, 1);
    EXPECT_EQ(checker.SymbolLostCount + checker.SyncLostCount, 0);
    EXPECT_TRUE(flags.InvalidSymbol);
    EXPECT_FALSE(flags.SymbolLost || flags.SyncLost);
}

TEST_F(BertCheckerScenario, two_corrupted_symbols_count_only_as_errors) {
    Synchronise();
    Bytes s = Stream(0, 2 * kPacket);
    s[5] = Corrupt(5);
    s[6] = Corrupt(6);
    Feed(s);
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(checker.InvalidSymbolCount + checker.SymbolLostCount + checker.SyncLostCount, 0);
    EXPECT_FALSE(flags.InvalidSymbol || flags.SymbolLost || flags.SyncLost);
}

TEST_F(BertCheckerScenario, a_dropped_symbol_is_lost_and_checking_stays_in_step) {
    Synchronise();
    Bytes s = Stream(0, 3 * kPacket);
    ASSERT_NE(s[6], s[7]);
    s.erase(s.begin() + 6);
    Feed(s);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(checker.SymbolLostCount, 1);
    EXPECT_TRUE(flags.SymbolLost);
    EXPECT_FALSE(checker.Hunting);
    Feed(Stream(0, kPacket));
    EXPECT_EQ(errors, 1);
}

TEST_F(BertCheckerScenario, three_corrupted_symbols_lose_sync_until_the_next_start_code) {
    Synchronise();
    Bytes s = Stream(0, kPacket);
    s[5] = Corrupt(5);
    s[6] = Corrupt(6);
    s[7] = Corrupt(7);
    Feed(s);
    // Three errors, then the 8 symbols up to the packet's end while hunting.
    EXPECT_EQ(errors, 3 + (kPacket - 8));
    EXPECT_EQ(checker.SyncLostCount, 1);
    EXPECT_TRUE(flags.SyncLost);
    EXPECT_TRUE(checker.Hunting);
    // The 18 of the next start code still counts; its 7 ends the hunt.
    Feed(Stream(0, 2 * kPacket));
    EXPECT_EQ(errors, 3 + (kPacket - 8) + 1);
    EXPECT_FALSE(checker.Hunting);
}

TEST_F(BertCheckerScenario, comparisons_use_only_the_data_bits) {
    Synchronise();
    Bytes s = Stream(0, kPacket);
    for (auto& b : s) b |= 0x80;
    mask = 0x7F;
    Feed(s);
    EXPECT_EQ(errors, 0);
}

TEST(BertCheckerXon, the_xon_prefix_before_the_first_packet_is_not_an_error) {
    BertPattern pattern;
    Random rng;
    BuildBertPattern(pattern, 8, 0xFF, 0, rng);
    const Bytes s(pattern.At(-1), pattern.At(-1) + 1 + 3 * 8);
    ASSERT_EQ(s[0], 17);
    BertChecker checker;
    BertCycleFlags flags;
    bool firstData = true;
    std::int64_t errors = 0;
    checker.Check(s.data(), s.size(), pattern.At(0), 7, 0xFF, firstData, errors, flags);
    EXPECT_EQ(errors, 0);
    EXPECT_FALSE(firstData);
    EXPECT_FALSE(checker.Hunting);
}

}  // namespace
}  // namespace kvartix
