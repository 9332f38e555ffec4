#include <gtest/gtest.h>

#include "serial/loop/LoopOptions.h"

namespace kvartix {
namespace {

TEST(LoopOptionsParse, reads_probabilities_and_seed_and_refuses_anything_else) {
    const auto o = ParseLoopOptions("corrupt=1e-4,drop=1e-5,insert=0,seed=7,flowcorrupt=2");
    ASSERT_TRUE(o);
    EXPECT_DOUBLE_EQ(o->Corrupt, 1e-4);
    EXPECT_DOUBLE_EQ(o->Drop, 1e-5);
    EXPECT_EQ(o->Seed, 7u);
    EXPECT_EQ(o->FlowCorrupt, 2u);
    EXPECT_TRUE(ParseLoopOptions(""));
    for (const char* bad : {"drop", "drop=", "drop=x", "drop=2", "drop=-0.1", "jitter=0.1",
                            "seed=-1", "seed=7x", "drop=nan", "flowcorrupt=0", "flowcorrupt=x"})
        EXPECT_FALSE(ParseLoopOptions(bad)) << bad;
    EXPECT_TRUE(IsLoopPath("LOOP"));
    EXPECT_TRUE(IsLoopPath("loop:seed=1"));
    EXPECT_FALSE(IsLoopPath("LOOPBACK"));
}

}  // namespace
}  // namespace kvartix
