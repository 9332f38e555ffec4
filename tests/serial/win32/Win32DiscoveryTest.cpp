#include <gtest/gtest.h>

#include <set>

#include "serial/win32/Win32Discovery.h"

namespace kvartix {
namespace {

using Names = std::vector<std::string>;

class FakeProbe final : public DeviceProbe {
  public:
    std::set<std::string> Free;
    Names Tried;
    bool Opens(const std::string& devicePath) override {
        Tried.push_back(devicePath);
        return Free.count(devicePath) > 0;
    }
};

struct Case {
    const char* Name;
    std::set<std::string> Free;
    std::string Saved;
    Names Listed;
    std::string Preselected;
};

class Win32Discovery : public ::testing::TestWithParam<Case> {};

TEST_P(Win32Discovery, lists_the_com_ports_that_open_then_loop_and_preselects_an_exact_match) {
    FakeProbe probe;
    probe.Free = GetParam().Free;
    const PortList list = DiscoverWin32Ports(probe, GetParam().Saved);
    EXPECT_EQ(list.Names, GetParam().Listed);
    EXPECT_EQ(list.Preselected, GetParam().Preselected);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, Win32Discovery,
    ::testing::Values(Case{"saved_port_free",
                           {"\\\\.\\COM1", "\\\\.\\COM3", "\\\\.\\COM4"},
                           "COM4",
                           {"COM1", "COM3", "COM4", "LOOP"},
                           "COM4"},
                      Case{"saved_port_busy",
                           {"\\\\.\\COM1", "\\\\.\\COM3"},
                           "COM4",
                           {"COM1", "COM3", "LOOP"},
                           "COM1"},
                      Case{
                          "saved_in_other_case", {"\\\\.\\COM4"}, "com4", {"COM4", "LOOP"}, "COM4"},
                      Case{"nothing_opens", {}, "COM1", {"LOOP"}, "LOOP"},
                      Case{"saved_loop", {"\\\\.\\COM2"}, "LOOP", {"COM2", "LOOP"}, "LOOP"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Win32Discovery, tries_com1_to_com32_in_order_each_through_the_device_namespace) {
    FakeProbe probe;
    DiscoverWin32Ports(probe, "");
    ASSERT_EQ(probe.Tried.size(), 32u);
    EXPECT_EQ(probe.Tried.front(), "\\\\.\\COM1");
    EXPECT_EQ(probe.Tried[9], "\\\\.\\COM10");
    EXPECT_EQ(probe.Tried.back(), "\\\\.\\COM32");
}

}  // namespace
}  // namespace kvartix
