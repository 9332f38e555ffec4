#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliPorts.h"

namespace kvartix {
namespace {

PortList Bench() {
    PortList list;
    list.Names = {"COM1", "/dev/ttyUSB0", "LOOP"};
    list.Info = {{.Device = "/dev/ttyS0", .Driver = "8250", .Console = true},
                 {.Device = "/dev/ttyUSB0",
                  .Driver = "ftdi_sio",
                  .VendorId = "0403",
                  .ProductId = "6001",
                  .Manufacturer = "FTDI",
                  .Product = "FT232R \"USB\"",
                  .Serial = "A1B2C3",
                  .ById = "/dev/serial/by-id/usb-FTDI_A1B2C3"},
                 {.Device = "LOOP"}};
    return list;
}

TEST(CliPorts, lists_one_port_a_line_with_its_device_only_when_the_name_is_not_it) {
    std::ostringstream out;
    PrintPorts(out, Bench(), false);
    EXPECT_EQ(out.str(),
              "COM1  /dev/ttyS0  8250  (console)\n"
              "/dev/ttyUSB0  ftdi_sio  FTDI FT232R \"USB\"  0403:6001  serial A1B2C3  "
              "by-id/usb-FTDI_A1B2C3\n"
              "LOOP\n");
}

TEST(CliPorts, lists_as_a_json_array_with_unknown_texts_null) {
    std::ostringstream out;
    PrintPorts(out, Bench(), true);
    const std::string json = out.str();
    EXPECT_EQ(json.front(), '[');
    EXPECT_EQ(json.substr(json.size() - 2), "]\n");
    for (const char* part :
         {"{\"port\":\"COM1\",\"device\":\"/dev/ttyS0\",\"driver\":\"8250\",\"vendor_id\":null,",
          "\"console\":true,\"getty\":false}", "\"product\":\"FT232R \\\"USB\\\"\"",
          "\"serial\":\"A1B2C3\",\"by_id\":\"/dev/serial/by-id/usb-FTDI_A1B2C3\"",
          "{\"port\":\"LOOP\",\"device\":\"LOOP\",\"driver\":null"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
}

TEST(CliPorts, a_start_on_the_console_or_a_getty_port_needs_force) {
    struct Row {
        bool Console, Getty, Force;
        const char* Refusal;
    };
    const Row rows[] = {
        {true, false, false,
         "/dev/ttyS0 is the system console; --force starts the test on it anyway"},
        {false, true, false,
         "/dev/ttyS0 is held by a getty (a login on this port); --force starts the test on it "
         "anyway"},
        {true, true, true, ""},
        {false, false, false, ""},
    };
    for (const Row& row : rows) {
        CliOptions options;
        options.Force = row.Force;
        const PortInfo port{.Device = "/dev/ttyS0", .Console = row.Console, .Getty = row.Getty};
        EXPECT_EQ(StartRefusal(options, port), row.Refusal);
    }
}

}  // namespace
}  // namespace kvartix
