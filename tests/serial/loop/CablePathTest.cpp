#include <gtest/gtest.h>

#include "serial/loop/CablePath.h"

namespace kvartix {
namespace {

struct NameCase {
    const char* Path;
    int Cable;  // 0: refused
    int Side;
    const char* Found;  // the options taken, or a part of the problem told
};

class CableNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(CableNames, name_the_cable_and_end_or_say_what_is_wrong_before_the_open) {
    const NameCase c = GetParam();
    EXPECT_TRUE(IsCablePath(c.Path)) << "never opened as a device";
    const auto end = ParseCablePath(c.Path);
    const std::string problem = CablePathProblem(c.Path);
    EXPECT_EQ(PlugPathProblem(c.Path), problem);
    if (c.Cable == 0) {
        EXPECT_NE(problem.find(c.Found), std::string::npos) << problem;
        return;
    }
    EXPECT_EQ(problem, "");
    ASSERT_TRUE(end);
    EXPECT_EQ(end->Cable, c.Cable);
    EXPECT_EQ(end->Side, c.Side);
    EXPECT_EQ(end->Options, c.Found);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CableNames,
    ::testing::Values(NameCase{"CABLE:A", 1, 0, ""}, NameCase{"cable:b", 1, 1, ""},
                      NameCase{"CABLE1:B", 1, 1, ""}, NameCase{"Cable2:a", 2, 0, ""},
                      NameCase{"CABLE16:B:corrupt=1e-4,seed=7", 16, 1, "corrupt=1e-4,seed=7"},
                      NameCase{"CABLE:A:", 1, 0, ""},
                      NameCase{"CABLE:C", 0, 0, "the end is not A or B"},
                      NameCase{"CABLE:AB", 0, 0, "the end is not A or B"},
                      NameCase{"CABLE", 0, 0, "the end is not A or B"},
                      NameCase{"CABLE2", 0, 0, "the end is not A or B"},
                      NameCase{"CABLE2X:A", 0, 0, "the end is not A or B"},
                      NameCase{"CABLE0:A", 0, 0, "'CABLE0': the cable number is not one of 1..16"},
                      NameCase{"CABLE17:B", 0, 0, "'CABLE17': the cable number"},
                      NameCase{"CABLE99999999999:A", 0, 0, "the cable number"},
                      NameCase{"CABLE:A:drop=2", 0, 0, "'drop=2': the probability"},
                      NameCase{"CABLE:B:jitter=1", 0, 0, "'jitter=1': the option is not"}));

TEST(CableNames, other_names_are_no_cable_and_loop_keeps_its_messages) {
    for (const char* other : {"CABLES", "CAB", "/dev/CABLE:A", "COM1", "LOOP"})
        EXPECT_FALSE(IsCablePath(other)) << other;
    EXPECT_EQ(PlugPathProblem("/dev/ttyUSB0"), "");
    EXPECT_EQ(PlugPathProblem("LOOP"), "");
    EXPECT_EQ(PlugPathProblem("LOOP:seed=x"), "'seed=x': the seed is not a whole number");
    EXPECT_EQ(CableEndName(1, 0), "CABLE:A");
    EXPECT_EQ(CableEndName(12, 1), "CABLE12:B");
}

}  // namespace
}  // namespace kvartix
