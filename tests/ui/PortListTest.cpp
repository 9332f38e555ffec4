// The main window's port list as the program makes it (src/ui/main.cpp): the discovery of
// serial/ that kvartix-cli lists too. On Linux that is the device table's list, which the
// program used to make itself: the same names, in the same order, the same one preselected.
#include <gtest/gtest.h>

#include <QComboBox>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "serial/PortDiscovery.h"
#include "serial/posix/PosixDiscovery.h"
#include "serial/posix/PosixSys.h"
#include "serial/posix/SystemDeviceTable.h"
#include "ui/Umain.h"
#include "ui/WindowRig.h"

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
    // Another test listing the ports at the same moment holds each one for its probe, and the
    // port is then left out as busy: the two lists are compared once two reads agree.
    PortList tableList;
    PortList ports;
    for (int attempt = 0; attempt < 20; ++attempt) {
        SystemDeviceTable table(SystemCalls());
        tableList = DiscoverPorts(table, saved);
        ports = DiscoverSystemPorts(saved);
        if (ports.Names == tableList.Names) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
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

PortInfo Uart(bool console) {
    return {.Device = "/dev/ttyS0", .Driver = "8250", .Console = console};
}

TEST(WindowPortHints, items_keep_their_names_and_hint_what_the_port_is_as_does_the_box) {
    TForm1 form({"COM1", "LOOP"}, "COM1");
    const QString boxHint = form.ComboBox1->toolTip();
    form.ShowPortInfo({Uart(false), PortInfo{}});
    EXPECT_EQ(Items(*form.ComboBox1), (std::vector<std::string>{"COM1", "LOOP"}));
    EXPECT_EQ(form.ComboBox1->itemData(0, Qt::ToolTipRole).toString(), "/dev/ttyS0\n8250");
    EXPECT_EQ(form.ComboBox1->toolTip(), boxHint + "\n\n/dev/ttyS0\n8250");
    // Nothing known of the plug, nor of a path typed in: the box's hint alone.
    for (const char* chosen : {"LOOP", "/dev/serial/by-id/usb-FTDI_A1B2C3"}) {
        form.ComboBox1->setEditText(chosen);
        EXPECT_EQ(form.ComboBox1->toolTip(), boxHint) << chosen;
    }
}

class WindowHeldPort : public WindowRig {};

TEST_F(WindowHeldPort, a_start_on_the_console_asks_first_and_a_no_leaves_the_port_alone) {
    std::vector<std::string> asked;
    bool answer = false;
    const QuestionPresenter old = SetQuestionPresenter([&](const QString& text) {
        asked.push_back(text.toStdString());
        return answer;
    });
    form->SetPortDescriber([](const std::string&) { return Uart(true); });
    Click(form->Button3);
    EXPECT_FALSE(form->Session().Running());
    EXPECT_TRUE(form->Button3->isEnabled());
    answer = true;
    Click(form->Button3);
    EXPECT_TRUE(form->Session().Running());
    SetQuestionPresenter(old);
    EXPECT_EQ(asked, std::vector<std::string>(
                         2, "/dev/ttyS0 is the system console.\nStart the test on it anyway?"));
}

}  // namespace
}  // namespace kvartix::test
