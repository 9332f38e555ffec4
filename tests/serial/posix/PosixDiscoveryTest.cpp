#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "serial/posix/PosixDiscovery.h"
#include "serial/posix/SystemDeviceTable.h"
#include "support/FakePosixSys.h"

namespace kvartix {
namespace {

using Names = std::vector<std::string>;

// UARTs by ttyS index, other devices by path; a busy device exists but does not open.
class FakeTable final : public DeviceTable {
public:
    std::set<int> Uarts;
    Names Usb;
    std::set<std::string> Busy;
    Names Probed;

    bool HasUart(int index) override { return Uarts.count(index) > 0; }
    Names UsbSerialDevices() override { return Usb; }
    bool OpensExclusively(const std::string& path) override {
        Probed.push_back(path);
        return !Busy.count(path);
    }
};

struct Row {
    const char* Name;
    std::set<int> Uarts;
    std::set<std::string> Busy;
    std::string Saved;
    Names Listed;
    std::string Preselected;
};

class Discovery : public ::testing::TestWithParam<Row> {};

TEST_P(Discovery, lists_what_opens_and_preselects_the_saved_port_only_on_an_exact_match) {
    FakeTable table;
    table.Uarts = GetParam().Uarts;
    table.Busy = GetParam().Busy;
    const PortList list = DiscoverPorts(table, GetParam().Saved);
    EXPECT_EQ(list.Names, GetParam().Listed);
    EXPECT_EQ(list.Preselected, GetParam().Preselected);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, Discovery,
    ::testing::Values(
        Row{"saved_port_free", {0, 2, 3}, {}, "COM4", {"COM1", "COM3", "COM4", "LOOP"}, "COM4"},
        Row{"saved_port_busy", {0, 2, 3}, {"/dev/ttyS3"}, "COM4", {"COM1", "COM3", "LOOP"}, "COM1"},
        Row{"saved_in_other_case", {0, 2, 3}, {}, "com4", {"COM1", "COM3", "COM4", "LOOP"}, "COM1"},
        Row{"saved_beyond_com32", {0}, {}, "COM33", {"COM1", "LOOP"}, "COM1"},
        Row{"saved_as_a_device_path", {0, 3}, {}, "/dev/ttyS3", {"COM1", "COM4", "LOOP"}, "COM1"},
        Row{"saved_loop_with_options", {5}, {}, "LOOP:seed=1", {"COM6", "LOOP"}, "COM6"},
        Row{"saved_loop", {5}, {}, "LOOP", {"COM6", "LOOP"}, "LOOP"},
        Row{"no_uart_no_saved_port", {}, {}, "", {"LOOP"}, "LOOP"},
        Row{"com10_to_com32_like_the_others",
            {9, 31},
            {},
            "COM32",
            {"COM10", "COM32", "LOOP"},
            "COM32"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(DiscoveryProbe, probes_only_ttys_with_a_uart_and_orders_usb_before_acm_by_number) {
    FakeTable table;
    table.Uarts = {1};
    table.Usb = {"/dev/ttyACM0", "/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyUSB0", "/dev/ttyACM1"};
    table.Busy = {"/dev/ttyUSB0"};
    const PortList list = DiscoverPorts(table, "/dev/ttyUSB10");
    EXPECT_EQ(list.Names, (Names{"COM2", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                                 "/dev/ttyACM1", "LOOP"}));
    EXPECT_EQ(list.Preselected, "/dev/ttyUSB10");
    EXPECT_EQ(table.Probed.front(), "/dev/ttyS1") << "a ttyS without a UART is not opened";
}

// The machine's table over a scratch sysfs and /dev, the devices played by the fake calls.
TEST(SystemDeviceTable, reads_the_uart_type_lists_usb_and_acm_nodes_and_holds_nothing_afterwards) {
    namespace fs = std::filesystem;
    const fs::path root =
        fs::temp_directory_path() / ("kvartix-discovery-" + std::to_string(getpid()));
    fs::remove_all(root);
    for (const auto& [tty, type] : {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS2", "4"}}) {
        fs::create_directories(root / "class" / tty);
        std::ofstream(root / "class" / tty / "type") << type << "\n";
    }
    fs::create_directories(root / "dev");
    for (const char* node : {"ttyUSB0", "ttyACM3", "ttyS0", "ttyUSBx", "tty"})
        std::ofstream(root / "dev" / node).put('\0');

    test::FakePosixSys sys;
    sys.Add("/dev/ttyS0");
    sys.Add("/dev/ttyS2");
    sys.Add((root / "dev" / "ttyUSB0").string());
    sys.Add((root / "dev" / "ttyACM3").string());
    auto held = sys.Open("/dev/ttyS2", 0);  // another program holds COM3
    ASSERT_TRUE(held);
    ASSERT_TRUE(sys.Flock(static_cast<int>(held.Value), LOCK_EX | LOCK_NB));

    SystemDeviceTable table(sys, (root / "class").string(), (root / "dev").string());
    const PortList list = DiscoverPorts(table, "COM3");
    EXPECT_EQ(list.Names, (Names{"COM1", (root / "dev" / "ttyUSB0").string(),
                                 (root / "dev" / "ttyACM3").string(), "LOOP"}));
    EXPECT_EQ(list.Preselected, "COM1");
    EXPECT_EQ(sys.OpenDescriptors(), 1u) << "only the other program's descriptor is open";
    fs::remove_all(root);
}

}  // namespace
}  // namespace kvartix
