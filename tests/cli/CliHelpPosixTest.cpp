#include <gtest/gtest.h>

#include "cli/CliOptions.h"

namespace kvartix {
namespace {

TEST(CliHelp, names_com_ports_with_their_linux_devices_and_device_paths) {
    const std::string help = HelpText();
    for (const char* name : {"COM1..COM32 (/dev/ttyS0..)", "/dev/ttyUSB0", "LOOP",
                             "CABLE:A and CABLE:B (CABLE2:A .. CABLE16:B)"})
        EXPECT_NE(help.find(name), std::string::npos) << name;
}

}  // namespace
}  // namespace kvartix
