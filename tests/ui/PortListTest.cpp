// The main window's port list as the program makes it (src/ui/main.cpp): the discovery of
// serial/ that kvartix-cli lists too. On Linux that is the device table's list, which the
// program used to make itself: the same names, in the same order, the same one preselected.
#include <gtest/gtest.h>

#include <QComboBox>
#include <string>
#include <vector>

#include "serial/PortDiscovery.h"
#include "serial/posix/PosixDiscovery.h"
#include "serial/posix/PosixSys.h"
#include "serial/posix/SystemDeviceTable.h"
#include "ui/Umain.h"

namespace kvartix::test {
namespace {

std::vector<std::string> Items(const QComboBox& box) {
    std::vector<std::string> items;
    for (int i = 0; i < box.count(); ++i) items.push_back(box.itemText(i).toStdString());
    return items;
}

class WindowPortList : public ::testing::TestWithParam<const char*> {};

TEST_P(WindowPortList, the_window_lists_this_machines_ports_as_the_device_table_finds_them) {
    const std::string saved = GetParam();
    SystemDeviceTable table(SystemCalls());
    const PortList tableList = DiscoverPorts(table, saved);
    const PortList ports = DiscoverSystemPorts(saved);
    EXPECT_EQ(ports.Names, tableList.Names);
    EXPECT_EQ(ports.Preselected, tableList.Preselected);
    ASSERT_FALSE(ports.Names.empty());
    EXPECT_EQ(ports.Names.back(), "LOOP");

    TForm1 form(ports.Names, ports.Preselected);
    EXPECT_EQ(Items(*form.ComboBox1), ports.Names);
    EXPECT_EQ(form.ComboBox1->currentText().toStdString(), ports.Preselected);
}
INSTANTIATE_TEST_SUITE_P(Saved, WindowPortList,
                         ::testing::Values("", "LOOP", "COM1", "/dev/ttyUSB0"));

}  // namespace
}  // namespace kvartix::test
