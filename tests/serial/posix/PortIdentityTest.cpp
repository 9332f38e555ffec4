#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "serial/posix/PortIdentity.h"

namespace kvartix {
namespace {

namespace fs = std::filesystem;

// A machine as sysfs, /dev and /proc show it: an FTDI adapter with its by-id link, a
// CDC-ACM device, an 8250 UART that is the console and one under a getty, the console's
// own nodes, a link to one and another node of the same device.
class FakeMachine {
  public:
    FakeMachine() {
        fs::remove_all(m_root);
        const fs::path usb = Dir("sys/devices/pci0000:00/usb1/1-1");
        Usb(usb, {"0403", "6001", "FTDI", "FT232R USB UART", "A1B2C3"});
        Tty("ttyUSB0", usb / "1-1:1.0/ttyUSB0", "sys/bus/usb-serial/drivers/ftdi_sio");
        const fs::path acm = Dir("sys/devices/pci0000:00/usb1/1-2");
        Usb(acm, {"2e8a", "000a", "Raspberry Pi", "Pico", "E660"});
        Tty("ttyACM0", acm / "1-2:1.0", "sys/bus/usb/drivers/cdc_acm");
        // A PNP UART under the serial core's port and controller devices, and two as
        // kernels before 6.5 show them.
        const fs::path pnp = Dir("sys/devices/pnp0/00:01");
        Tty("ttyS0", pnp / "00:01:0/00:01:0.0", "sys/bus/serial-base/drivers/port");
        fs::create_symlink(Dir("sys/bus/serial-base/drivers/ctrl"), pnp / "00:01:0/driver");
        fs::create_symlink(Dir("sys/bus/pnp/drivers/serial"), pnp / "driver");
        for (const char* uart : {"ttyS1", "ttyS2"})
            Tty(uart, Dir("sys/devices/platform/serial8250") / uart,
                "sys/bus/platform/drivers/serial8250");
        fs::create_directories(Dir("dev/serial/by-id"));
        fs::create_symlink("../../ttyUSB0", Dir("dev/serial/by-id") / kById);
        std::istringstream nodes(
            "ttyUSB0 188 0  ttyACM0 166 0  ttyS0 4 64  ttyS1 4 65  ttyS2 4 66  "
            "console 5 1  tty0 4 0  vc/0 4 0  tty 5 0");
        std::string node;
        for (unsigned major, minor; nodes >> node >> major >> minor;) {
            std::ofstream(Dir("dev/" + fs::path(node).parent_path().string()) / node).put('\0');
            m_numbers[fs::weakly_canonical(Dir("dev") / node)] = makedev(major, minor);
        }
        fs::create_symlink("console", Dir("dev") / "syscon");
        std::ofstream(Dir("proc") / "consoles") << "netcon0 -W- (E     )\n"
                                                << "ttyS0 -W- (E  p a)    4:64\n";
        Process(1, {"/sbin/init", "splash"});
        Process(200, {"/sbin/agetty", "-L", "115200", "ttyS1", "vt102"});
        // systemd's getty: the line is its controlling terminal (4:66), not an argument.
        Process(300, {"/sbin/agetty", "-o", "-p -- \\u", "-", "vt220"});
        std::ofstream(Dir("proc/300") / "stat") << "300 (agetty) S 1 300 300 1090 300 4194560\n";
        std::ofstream(Dir("sys/class/tty/ttyS2") / "dev") << "4:66\n";
        std::ofstream(Dir("sys/class/tty/ttyS0") / "dev") << "4:64\n";
    }
    ~FakeMachine() { fs::remove_all(m_root); }

    SystemRoots Roots() const {
        return {(m_root / "sys").string(), (m_root / "dev").string(), (m_root / "proc").string(),
                [numbers = m_numbers](const std::string& path) {
                    std::error_code ec;
                    const auto at = numbers.find(fs::weakly_canonical(path, ec));
                    return at == numbers.end() ? dev_t{0} : at->second;
                }};
    }
    std::string Dev(const std::string& name) const { return (m_root / "dev" / name).string(); }
    std::string Unrooted(std::string text) const {
        for (std::size_t at; (at = text.find(m_root.string())) != std::string::npos;)
            text.erase(at, m_root.string().size());
        return text;
    }
    static constexpr const char* kById = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";

  private:
    fs::path Dir(const std::string& rel) const {
        fs::create_directories(m_root / rel);
        return m_root / rel;
    }
    void Usb(const fs::path& dir, const std::vector<std::string>& values) const {
        const char* files[] = {"idVendor", "idProduct", "manufacturer", "product", "serial"};
        for (std::size_t i = 0; i < values.size(); ++i)
            std::ofstream(dir / files[i]) << values[i] << "\n";
    }
    void Tty(const std::string& name, const fs::path& device, const std::string& driver) const {
        fs::create_directories(device);
        fs::create_symlink(Dir(driver), device / "driver");
        fs::create_symlink(device, Dir("sys/class/tty/" + name) / "device");
        std::ofstream(Dir("dev") / name).put('\0');
    }
    void Process(int pid, const std::vector<std::string>& args) const {
        std::ofstream cmdline(Dir("proc/" + std::to_string(pid)) / "cmdline", std::ios::binary);
        for (const auto& arg : args) cmdline << arg << '\0';
    }

    fs::path m_root = fs::temp_directory_path() / ("kvartix-machine-" + std::to_string(getpid()));
    std::map<fs::path, dev_t> m_numbers;
};

struct Known {
    const char* Name;
    const char* Text;
    bool Held;
    const char* Hint;  // the machine's root left out
};

class PortIdentity : public ::testing::TestWithParam<Known> {};

TEST_P(PortIdentity, tells_driver_usb_strings_by_id_link_console_and_getty) {
    const FakeMachine machine;
    const PortInfo info = IdentifyPort(machine.Dev(GetParam().Name), machine.Roots());
    EXPECT_EQ(info.Device, machine.Dev(GetParam().Name));
    EXPECT_EQ(PortInfoText(info), GetParam().Text);
    EXPECT_EQ(info.HeldBySystem(), GetParam().Held);
    EXPECT_EQ(machine.Unrooted(PortHintText(info)), GetParam().Hint);
}

INSTANTIATE_TEST_SUITE_P(
    FakeMachine, PortIdentity,
    ::testing::Values(
        Known{"ttyUSB0",
              "ftdi_sio  FTDI FT232R USB UART  0403:6001  serial A1B2C3  "
              "by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
              false,
              "/dev/ttyUSB0\nftdi_sio\nFTDI FT232R USB UART\n0403:6001\nserial A1B2C3\n"
              "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"},
        Known{"ttyACM0", "cdc_acm  Raspberry Pi Pico  2e8a:000a  serial E660", false,
              "/dev/ttyACM0\ncdc_acm\nRaspberry Pi Pico\n2e8a:000a\nserial E660"},
        Known{"ttyS0", "8250  (console)", true,
              "/dev/ttyS0\n8250\n/dev/ttyS0 is the system console"},
        Known{"ttyS1", "8250  (getty)", true,
              "/dev/ttyS1\n8250\n/dev/ttyS1 is held by a getty (a login on this port)"},
        Known{"ttyS2", "8250  (getty)", true,
              "/dev/ttyS2\n8250\n/dev/ttyS2 is held by a getty (a login on this port)"},
        Known{"ttyS9", "", false, ""},
        Known{"console", "(console)", true, "/dev/console\n/dev/console is the system console"},
        Known{"tty0", "(console)", true, "/dev/tty0\n/dev/tty0 is the system console"},
        Known{"syscon", "(console)", true, "/dev/syscon\n/dev/syscon is the system console"},
        Known{"vc/0", "(console)", true, "/dev/vc/0\n/dev/vc/0 is the system console"},
        Known{"tty", "", false, ""}));

TEST(PortIdentityLinks, a_by_id_path_is_the_device_it_links_to_and_is_kept_as_given) {
    const FakeMachine machine;
    const std::string byId = machine.Dev(std::string("serial/by-id/") + FakeMachine::kById);
    const PortInfo info = IdentifyPort(byId, machine.Roots());
    EXPECT_EQ(info.Device, byId);
    EXPECT_EQ(info.Serial, "A1B2C3");
    EXPECT_EQ(info.ById, byId);
}

TEST(PortIdentityLinks, names_that_are_not_paths_get_only_their_device) {
    const FakeMachine machine;
    PortList list;
    list.Names = {"LOOP", "LOOP:seed=1"};
    IdentifyPorts(list, machine.Roots());
    ASSERT_EQ(list.Info.size(), 2u);
    EXPECT_EQ(list.Info[1].Device, "LOOP:seed=1");
    EXPECT_EQ(PortInfoText(list.Info[0]), "");
}

}  // namespace
}  // namespace kvartix
