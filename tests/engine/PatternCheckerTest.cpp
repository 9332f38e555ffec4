// The self-synchronising checker, fed streams of O.150's registers built in the test.
#include <gtest/gtest.h>

#include <random>

#include "engine/PatternChecker.h"
#include "support/O150Reference.h"

namespace kvartix {
namespace {

enum class FaultKind { None, FlipBits, DropCharacter, InsertCharacter };

struct Case {
    LinePattern Pattern;
    int DataBits;
    FaultKind Fault;
    int Count;  // bits flipped, or characters dropped or inserted
};

constexpr std::size_t kChars = 40'000;

// Faults far enough apart that the checker is back in sync before the next one.
std::vector<std::uint8_t> Faulted(const Case& c) {
    std::vector<std::uint8_t> chars = test::O150Reference(c.Pattern).Characters(kChars, c.DataBits);
    std::mt19937 rng(7);
    const std::size_t spacing = kChars / static_cast<std::size_t>(c.Count + 1);
    for (int i = c.Count; i >= 1; --i) {
        const std::size_t at = spacing * static_cast<std::size_t>(i);
        switch (c.Fault) {
            case FaultKind::None:
                break;
            case FaultKind::FlipBits:
                chars[at] ^= static_cast<std::uint8_t>(1u << (rng() % c.DataBits));
                break;
            case FaultKind::DropCharacter:
                chars.erase(chars.begin() + static_cast<long>(at));
                break;
            case FaultKind::InsertCharacter:
                chars.insert(chars.begin() + static_cast<long>(at),
                             static_cast<std::uint8_t>(0x5A & ((1u << c.DataBits) - 1)));
                break;
        }
    }
    return chars;
}

TEST(PatternChecker, counts_flipped_bits_once_and_a_slipped_character_as_one_sync_loss) {
    const Case kCases[] = {
        {LinePattern::Prbs9, 8, FaultKind::None, 0},
        {LinePattern::Prbs31, 5, FaultKind::None, 0},
        {LinePattern::Qrss20, 8, FaultKind::None, 0},
        {LinePattern::Prbs9, 8, FaultKind::FlipBits, 25},
        {LinePattern::Prbs11, 7, FaultKind::FlipBits, 25},
        {LinePattern::Prbs15, 8, FaultKind::FlipBits, 100},
        {LinePattern::Prbs20, 6, FaultKind::FlipBits, 25},
        {LinePattern::Qrss20, 8, FaultKind::FlipBits, 25},
        {LinePattern::Prbs23, 5, FaultKind::FlipBits, 25},
        {LinePattern::Prbs31, 8, FaultKind::FlipBits, 100},
        {LinePattern::Alt, 7, FaultKind::FlipBits, 10},
        {LinePattern::Zeros, 8, FaultKind::FlipBits, 10},
        {LinePattern::Ones, 5, FaultKind::FlipBits, 10},
        {LinePattern::Prbs9, 8, FaultKind::DropCharacter, 1},
        {LinePattern::Prbs15, 8, FaultKind::DropCharacter, 5},
        {LinePattern::Prbs23, 7, FaultKind::DropCharacter, 3},
        {LinePattern::Prbs31, 8, FaultKind::DropCharacter, 1},
        {LinePattern::Alt, 7, FaultKind::DropCharacter, 1},  // an odd width shifts its phase
        {LinePattern::Prbs15, 8, FaultKind::InsertCharacter, 1},
        {LinePattern::Prbs20, 5, FaultKind::InsertCharacter, 4},
        {LinePattern::Prbs31, 6, FaultKind::InsertCharacter, 1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message()
                     << PatternName(c.Pattern) << ", " << c.DataBits << " data bits, fault "
                     << static_cast<int>(c.Fault) << " x" << c.Count);
        const std::vector<std::uint8_t> chars = Faulted(c);
        PatternChecker checker(c.Pattern, c.DataBits);
        checker.Check(chars.data(), chars.size());
        const PatternCounts& n = checker.Counts();
        EXPECT_TRUE(n.InSync);
        const bool slip =
            c.Fault == FaultKind::DropCharacter || c.Fault == FaultKind::InsertCharacter;
        EXPECT_EQ(n.SyncLosses, slip ? c.Count : 0);
        if (!slip) {
            const int flipped = c.Fault == FaultKind::FlipBits ? c.Count : 0;
            EXPECT_EQ(n.BitErrors, flipped);
            EXPECT_EQ(n.ErroredCharacters, flipped);
            // Everything after the hunt is compared: the register's load, then its own length
            // and the confirmation stretch of correct predictions.
            // The zero-suppressed sequence begins with forced ones, which the hunt skips.
            const int length = DefinitionOf(c.Pattern).Length;
            const std::int64_t hunt = 2 * length + PatternChecker::kConfirmBits;
            const std::int64_t all = static_cast<std::int64_t>(chars.size()) * c.DataBits;
            if (DefinitionOf(c.Pattern).ZeroLimit == 0) {
                EXPECT_EQ(n.BitsChecked, all - hunt);
            } else {
                EXPECT_LE(n.BitsChecked, all - hunt);
                EXPECT_GE(n.BitsChecked, all - hunt - 64);
            }
        } else {
            EXPECT_LE(n.BitErrors, c.Count * 2 * PatternChecker::kLossWindow);
        }
    }
}

TEST(PatternChecker, finds_its_sync_anywhere_in_the_stream_without_a_start_code) {
    for (const LinePattern p : {LinePattern::Prbs9, LinePattern::Prbs23, LinePattern::Qrss20}) {
        std::vector<std::uint8_t> chars = test::O150Reference(p).Characters(20'000, 8);
        PatternChecker checker(p, 8);
        checker.Check(chars.data() + 12'345, chars.size() - 12'345);
        EXPECT_TRUE(checker.Counts().InSync) << PatternName(p);
        EXPECT_EQ(checker.Counts().BitErrors, 0) << PatternName(p);
    }
}

TEST(PatternChecker, random_data_and_a_silent_line_never_bring_it_into_sync) {
    std::mt19937 rng(3);
    std::vector<std::uint8_t> noise(50'000);
    for (auto& c : noise) c = static_cast<std::uint8_t>(rng());
    std::vector<std::uint8_t> idle(50'000, 0x00), marks(50'000, 0xFF);
    for (const LinePattern p : {LinePattern::Prbs9, LinePattern::Prbs15, LinePattern::Prbs31}) {
        for (const std::vector<std::uint8_t>* stream : {&noise, &idle, &marks}) {
            PatternChecker checker(p, 8);
            checker.Check(stream->data(), stream->size());
            EXPECT_FALSE(checker.Counts().EverInSync) << PatternName(p);
        }
    }
}

// Errors at 1 % stay bit errors; a quarter of the bits wrong is a line that lost the pattern.
TEST(PatternChecker, keeps_its_sync_through_scattered_errors_and_loses_it_to_dense_ones) {
    for (const auto& [everyNth, loses] : {std::pair{100, false}, {3, true}}) {
        std::vector<std::uint8_t> chars =
            test::O150Reference(LinePattern::Prbs15).Characters(20'000, 8);
        std::size_t flips = 0;
        for (std::size_t bit = 8000; bit < 8000 + 8000;
             bit += static_cast<std::size_t>(everyNth), ++flips)
            chars[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        PatternChecker checker(LinePattern::Prbs15, 8);
        checker.Check(chars.data(), chars.size());
        EXPECT_EQ(checker.Counts().SyncLosses != 0, loses) << "every " << everyNth << "th bit";
        if (!loses) {
            EXPECT_EQ(checker.Counts().BitErrors, static_cast<std::int64_t>(flips));
        }
        EXPECT_TRUE(checker.Counts().InSync) << "back once the errors stop";
    }
}

TEST(PatternChecker, a_batch_cut_anywhere_counts_the_same_as_one_batch) {
    Case c{LinePattern::Prbs20, 7, FaultKind::FlipBits, 30};
    const std::vector<std::uint8_t> chars = Faulted(c);
    PatternChecker whole(c.Pattern, 7), pieces(c.Pattern, 7);
    whole.Check(chars.data(), chars.size());
    for (std::size_t at = 0, step = 1; at < chars.size(); at += step, step = step % 97 + 1)
        pieces.Check(chars.data() + at, std::min(step, chars.size() - at));
    EXPECT_EQ(pieces.Counts().BitErrors, whole.Counts().BitErrors);
    EXPECT_EQ(pieces.Counts().BitsChecked, whole.Counts().BitsChecked);
}

TEST(PatternChecker, a_clearing_keeps_the_sync_and_starts_the_counts_again) {
    const auto chars = test::O150Reference(LinePattern::Prbs9).Characters(1000, 8);
    PatternChecker checker(LinePattern::Prbs9, 8);
    checker.Check(chars.data(), 500);
    checker.ResetCounts();
    checker.Check(chars.data() + 500, 500);
    EXPECT_TRUE(checker.Counts().InSync);
    EXPECT_EQ(checker.Counts().BitsChecked, 500 * 8);
}

}  // namespace
}  // namespace kvartix
