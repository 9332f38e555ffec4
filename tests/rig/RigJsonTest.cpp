// The rig's judge reads kvartix-cli's JSON: one object for a port, an array for two.
#include <gtest/gtest.h>

#include "rig/RigJson.h"

namespace kvartix::rig {
namespace {

TEST(RigJson, a_two_port_array_over_several_lines_gives_each_direction_in_order) {
    const std::string out =
        "[{\"port\":\"/dev/ttyS3\",\"tx_port\":\"/dev/ttyS2\",\"received\":55305,"
        "\"errors\":0,\"result\":\"no errors\"},\n"
        " {\"port\":\"/dev/ttyS2\",\"tx_port\":\"/dev/ttyS3\",\"received\":54281,"
        "\"errors\":513,\"result\":\"errors counted\"}]\n";
    const auto directions = ParseJsonObjects(out);
    ASSERT_EQ(directions.size(), 2u);
    EXPECT_EQ(directions[0].at("tx_port"), "/dev/ttyS2");
    EXPECT_EQ(directions[0].at("port"), "/dev/ttyS3");
    EXPECT_EQ(directions[0].at("received"), "55305");
    EXPECT_EQ(directions[1].at("errors"), "513");
    EXPECT_EQ(directions[1].at("result"), "errors counted");
}

TEST(RigJson, braces_in_strings_and_nested_values_split_no_object) {
    const std::string out =
        "{\"port\":\"/dev/a{b}\",\"note\":\"say \\\"}\\\" \",\"lines\":{\"cts\":true,\"x\":[1,{}]},"
        "\"received\":7}\n";
    const auto objects = ParseJsonObjects(out);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0].at("port"), "/dev/a{b}");
    EXPECT_EQ(objects[0].at("note"), "say \"}\" ");
    EXPECT_EQ(objects[0].at("lines"), "{\"cts\":true,\"x\":[1,{}]}");
    EXPECT_EQ(objects[0].at("received"), "7");
}

TEST(RigJson, output_without_an_object_gives_none) {
    EXPECT_TRUE(ParseJsonObjects("").empty());
    EXPECT_TRUE(ParseJsonObjects("kvartix-cli: /dev/ttyS2: no such port\n").empty());
    EXPECT_TRUE(ParseJsonObjects("[{\"port\":\"/dev/ttyS2\"").empty()) << "cut short";
}

}  // namespace
}  // namespace kvartix::rig
