// A card's ports at once over pseudo-terminals, each with a plug paced at the line's rate.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "cli/CliRun.h"
#include "testkit/Pty.h"

namespace kvartix {
namespace {

// A card's eight ports at once, each with its own plug paced at the line's rate: one line a
// second each, the table, a record each.
TEST(CliCard, eight_paced_ports_run_at_once_each_with_its_row_and_its_record) {
    const std::string dir = ::testing::TempDir() + "kvartix-card/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::vector<std::unique_ptr<test::PtyMaster>> masters;
    std::vector<std::unique_ptr<test::PtyWire>> wires;
    std::vector<std::string> args = {"--seconds", "2", "--record", dir, "--force"};
    for (int i = 0; i < 8; ++i) {
        masters.push_back(std::make_unique<test::PtyMaster>());
        wires.push_back(std::make_unique<test::PtyWire>(*masters.back(), 11520));
        args.insert(args.end(), {"--port", masters.back()->SlavePath()});
    }
    std::ostringstream out, err;
    EXPECT_EQ(CliMain(args, out, err), kExitClean) << out.str() << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("Summary: 8 ports, bert, 115200 bit/s 8-N-1, packet 512\n"),
              std::string::npos) << text;
    for (const auto& m : masters) {
        const std::string row = text.substr(text.rfind("\n  " + m->SlavePath() + " ") + 1);
        EXPECT_NE(row.substr(0, row.find('\n')).find("no errors"), std::string::npos) << row;
        int seconds = 0;
        std::istringstream lines(text);
        for (std::string l; std::getline(lines, l);)
            seconds += l.rfind(m->SlavePath() + " ", 0) == 0 && l.find("  Received ") != std::string::npos;
        EXPECT_EQ(seconds, 2) << m->SlavePath();
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 8);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kvartix
