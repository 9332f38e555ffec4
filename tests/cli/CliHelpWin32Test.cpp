#include <gtest/gtest.h>

#include "cli/CliOptions.h"

namespace kvartix {
namespace {

TEST(CliHelp, names_com_ports_as_windows_opens_them_and_no_linux_paths) {
    const std::string help = HelpText();
    for (const char* name : {"COM1", "\\\\.\\COM12", "LOOP"})
        EXPECT_NE(help.find(name), std::string::npos) << name;
    EXPECT_EQ(help.find("/dev/"), std::string::npos);
}

}  // namespace
}  // namespace kvartix
