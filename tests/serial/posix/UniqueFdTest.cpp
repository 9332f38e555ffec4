#include <gtest/gtest.h>

#include "serial/posix/UniqueFd.h"
#include "support/FakePosixSys.h"

namespace kvartix {
namespace {

class UniqueFdTest : public ::testing::Test {
protected:
    UniqueFd OpenOne() {
        const SysResult r = sys.Open("/dev/ttyS0", 0);
        EXPECT_TRUE(r);
        return UniqueFd(sys, static_cast<int>(r.Value));
    }
    void SetUp() override { sys.Add("/dev/ttyS0"); }
    test::FakePosixSys sys;
};

TEST_F(UniqueFdTest, closes_in_its_destructor) {
    { UniqueFd fd = OpenOne(); }
    EXPECT_EQ(sys.OpenDescriptors(), 0u);
    EXPECT_EQ(sys.Closes, 1);
}

TEST_F(UniqueFdTest, a_moved_from_object_holds_nothing_and_closes_nothing) {
    UniqueFd a = OpenOne();
    const int n = a.Get();
    UniqueFd b(std::move(a));
    EXPECT_EQ(a.Get(), -1);
    EXPECT_EQ(b.Get(), n);
    EXPECT_EQ(sys.Closes, 0);
    b.Reset();
    EXPECT_EQ(sys.Closes, 1);
}

TEST_F(UniqueFdTest, move_assignment_closes_the_descriptor_it_held) {
    UniqueFd a = OpenOne();
    UniqueFd b = OpenOne();
    a = std::move(b);
    EXPECT_EQ(sys.Closes, 1);
    EXPECT_EQ(sys.OpenDescriptors(), 1u);
}

TEST_F(UniqueFdTest, close_is_not_retried_on_eintr_and_its_error_is_returned) {
    UniqueFd fd = OpenOne();
    sys.CloseInterrupts = 1;
    const SysResult r = fd.Reset();
    EXPECT_EQ(r.Error, EINTR);
    EXPECT_STREQ(r.Call, "close");
    EXPECT_EQ(sys.Closes, 1);
    EXPECT_FALSE(fd);
    EXPECT_TRUE(fd.Reset()) << "nothing is held any more";
    EXPECT_EQ(sys.Closes, 1);
}

}  // namespace
}  // namespace kvartix
