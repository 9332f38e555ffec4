#include <gtest/gtest.h>

#include <string>

#include "engine/LineQuality.h"

namespace kvartix {
namespace {

// One letter a second: c clean, e errored below 1E-3, S severely errored, L sync lost.
LineQualityFigures Classed(const std::string& seconds) {
    LineQuality q;
    for (const char c : seconds) {
        LineQuality::Second s{1'000'000, 0, false};
        if (c == 'e') s.Errors = 999;
        if (c == 'S') s.Errors = 1000;
        if (c == 'L') s.SyncMissing = true;
        q.AddSecond(s);
    }
    return q.Figures();
}

TEST(LineQuality, classes_seconds_and_unavailable_time_as_g821_does) {
    struct Case {
        std::string Seconds;
        std::int64_t Severe, Unavailable, ErrorFree;
    };
    const Case kCases[] = {
        {"cccccccccc", 0, 0, 10},
        {"ceSc", 1, 0, 2},                      // 1E-3 is severe, just below it only errored
        {"cLc", 1, 0, 2},                       // a lost sync is severe
        {"SSSSSSSSS", 9, 0, 0},                 // nine in a row stay available
        {"SSSSSSSSSS", 0, 10, 0},               // the tenth makes all ten unavailable
        {"cSSSSSSSSSSSScc", 0, 14, 1},          // and what follows until ten are not severe
        {"SSSSSSSSSSccccccccccSc", 1, 10, 11},  // ten not severe end it from their first
        {"SSSSSSSSSSccccSccccc", 0, 20, 0},     // a severe one among fewer keeps it
        {"SSSSSSSSSSeeeeeeeeee", 0, 10, 0},     // errored seconds end it too, not error-free
    };
    for (const Case& c : kCases) {
        const LineQualityFigures f = Classed(c.Seconds);
        EXPECT_EQ(f.Seconds, static_cast<std::int64_t>(c.Seconds.size())) << c.Seconds;
        EXPECT_EQ(f.SeverelyErrored, c.Severe) << c.Seconds;
        EXPECT_EQ(f.Unavailable, c.Unavailable) << c.Seconds;
        EXPECT_EQ(f.ErrorFree, c.ErrorFree) << c.Seconds;
    }
}

TEST(LineQuality, error_free_share_is_over_available_time) {
    LineQualityFigures f;
    EXPECT_EQ(f.ErrorFreeShare(), std::nullopt);
    f = Classed("SSSSSSSSSScccccccccccccccccccce");
    EXPECT_DOUBLE_EQ(*f.ErrorFreeShare(), 20.0 / 21.0);
}

TEST(LineQuality, an_error_free_run_bounds_the_ratio_at_95_percent_confidence) {
    EXPECT_EQ(ErrorFreeBound95(0), std::nullopt);
    EXPECT_LT(*ErrorFreeBound95(3'000'000'000), 1e-9);
    EXPECT_GT(*ErrorFreeBound95(2'900'000'000), 1e-9);
    EXPECT_DOUBLE_EQ(*BitErrorRatio(3, 1'000'000), 3e-6);
    EXPECT_EQ(BitErrorRatio(0, 0), std::nullopt);
}

TEST(LineQualitySeconds, counts_from_the_first_whole_second_in_sync_and_survives_a_clearing) {
    LineQualitySeconds q;
    PatternCounts c;
    q.TakeSecond(c);  // hunting: not counted
    c = {1000, 0, 0, 0, true, true};
    q.TakeSecond(c);  // found in this second: not counted
    c.BitsChecked += 100'000;
    q.TakeSecond(c);
    c = {50'000, 0, 0, 0, true, true};  // cleared, then half a second's bits
    q.TakeSecond(c);
    c.BitsChecked += 100'000;
    c.BitErrors += 1;
    q.TakeLastSecond(c);  // a part-second with an error counts
    const LineQualityFigures f = q.Figures();
    EXPECT_EQ(f.Seconds, 3);
    EXPECT_EQ(f.ErrorFree, 2);
    EXPECT_EQ(f.SeverelyErrored, 0);
}

}  // namespace
}  // namespace kvartix
