#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"

namespace kvartix {
namespace {

TEST(CliOptions, defaults_are_a_ten_second_bert_on_loop_at_115200_8n1) {
    const CliParse p = ParseCliOptions({});
    ASSERT_TRUE(p.Options);
    const CliOptions& o = *p.Options;
    EXPECT_EQ(o.Settings.Port, "LOOP");
    EXPECT_EQ(o.Settings.BitRate, 115200);
    EXPECT_EQ(FrameText(o.Settings), "8-N-1");
    EXPECT_EQ(o.Settings.PacketSize, 512);
    EXPECT_EQ(o.Mode, TestMode::Bert);
    EXPECT_EQ(o.Seconds, 10);
    EXPECT_TRUE(o.Settings.DTREnable);
    EXPECT_FALSE(o.Settings.DSREnable || o.Settings.RtsCts || o.Settings.XonXoff ||
                 o.Settings.RandomFlow || o.Json);
}

TEST(CliOptions, every_line_setting_can_be_given) {
    const CliParse p = ParseCliOptions(
        {"--port",   "/dev/ttyUSB0", "--baud=9600", "--data-bits", "5",          "--stop-bits",
         "1.5",      "--parity",     "space",       "--rts-cts",   "--xon-xoff", "--dtr",
         "low",      "--dsr",        "flow",        "--random",    "--packet",   "1",
         "--symbol", "$1f",          "--seconds",   "3",           "--json"});
    ASSERT_TRUE(p.Options) << p.Error;
    const LineSettings& s = p.Options->Settings;
    EXPECT_EQ(s.Port, "/dev/ttyUSB0");
    EXPECT_EQ(s.BitRate, 9600);
    EXPECT_EQ(FrameText(s), "5-S-1.5");
    EXPECT_TRUE(s.RtsCts && s.XonXoff && s.DSREnable && s.RandomFlow && p.Options->Json);
    EXPECT_FALSE(s.DTREnable);
    EXPECT_EQ(s.PacketSize, 1);
    EXPECT_EQ(s.Symbol, 0x1F);
    EXPECT_EQ(p.Options->Seconds, 3);
}

TEST(CliOptions, a_bad_value_is_refused_with_the_option_named) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--baud", "9600x"}, "--baud: '9600x' is not a valid integer value"},
        {{"--data-bits", "9"}, "--data-bits: '9' is outside 5..8"},
        {{"--symbol", "256"}, "--symbol: '256' is outside 0..255"},
        {{"--packet", "3"}, "--packet: '3' is not one of 1|4|8|16|32|64|128|256|512|1024|2048"},
        {{"--parity", "odd "}, "--parity: 'odd ' is not one of none|odd|even|mark|space"},
        {{"--stop-bits", "3"}, "--stop-bits: '3' is not one of 1|1.5|2"},
        {{"--mode", "terminal"}, "--mode: 'terminal' is not one of bert|loopback"},
        {{"--seconds", "0"}, "--seconds:"},
        {{"--baud"}, "--baud: a value is missing"},
        {{"--random=1"}, "--random: takes no value"},
        {{"--speed", "1"}, "unknown option '--speed'"},
        {{"--cross", "A"}, "--cross: two values are needed"},
        {{"--cross", "A", "B", "--port", "C"}, "--cross: not with --port"},
        {{"--rx-port", "B", "--cross", "A", "C"}, "--cross: given twice or with --rx-port"},
        {{"--port", "A", "--port", "B", "--rx-port", "C"}, "--rx-port: checks what one --port"},
        {{"--mode", "loopback", "--rx-port", "B"}, "--mode loopback: echoes on its own port"},
        {{"--port", "A", "--port", "B", "--record", "-"}, "--record -: one port only"},
    };
    for (const auto& [args, message] : cases) {
        const CliParse p = ParseCliOptions(args);
        EXPECT_FALSE(p.Options) << args[0];
        EXPECT_EQ(p.Error.rfind(message, 0), 0u) << p.Error;
    }
}

TEST(CliOptions, ports_are_wired_to_plugs_one_way_or_across_a_cable) {
    struct Case {
        std::vector<std::string> Args;
        Wiring Wired;
        std::vector<std::string> Ports;
    };
    const Case cases[] = {
        {{"--port", "A", "--port", "B", "--port", "C"}, Wiring::Plugs, {"A", "B", "C"}},
        {{"--rx-port", "B", "--port", "A"}, Wiring::OneWay, {"A", "B"}},
        {{"--rx-port", "B"}, Wiring::OneWay, {"LOOP", "B"}},
        {{"--cross", "A", "B"}, Wiring::Cross, {"A", "B"}},
    };
    for (const auto& c : cases) {
        const CliParse p = ParseCliOptions(c.Args);
        ASSERT_TRUE(p.Options) << p.Error;
        EXPECT_EQ(p.Options->Wired, c.Wired);
        EXPECT_EQ(p.Options->Ports, c.Ports);
        EXPECT_EQ(p.Options->Settings.Port, c.Ports.front());
    }
    std::vector<std::string> many;
    for (int i = 0; i <= 32; ++i) many.insert(many.end(), {"--port", "LOOP"});
    EXPECT_EQ(ParseCliOptions(many).Error, "--port: at most 32 ports at once");
}

TEST(CliOptions, the_usage_line_lists_every_option_in_brackets_within_81_columns) {
    EXPECT_EQ(UsageLine(),
              "usage: kvartix-cli [--settings FILE] [--port NAME] [--rx-port NAME] [--cross A B]\n"
              "                   [--baud N] [--data-bits 5..8] [--stop-bits 1|1.5|2]\n"
              "                   [--parity none|odd|even|mark|space] [--rts-cts] [--xon-xoff]\n"
              "                   [--dtr high|low] [--dsr flow|ignored] [--random] [--packet N]\n"
              "                   [--symbol N] [--pattern NAME] [--mode bert|loopback]\n"
              "                   [--seconds N] [--json] [--record FILE] [--list-ports]\n"
              "                   [--force] [--help] [--version]");
    // Every option the usage names is one the parser takes.
    std::istringstream lines(UsageLine());
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 81u) << line;
        for (auto open = line.find('['); open != std::string::npos;
             open = line.find('[', open + 1)) {
            const std::string item = line.substr(open + 1, line.find(']', open) - open - 1);
            const std::string name = item.substr(0, item.find(' '));
            const CliParse p = ParseCliOptions({name});
            EXPECT_EQ(p.Error.find("unknown option"), std::string::npos) << name;
        }
    }
}

std::string SettingsFile(const std::string& text) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kvartix-cli-" + std::to_string(::getpid()) + ".ini");
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

TEST(CliOptions, a_settings_file_gives_the_line_and_options_beside_it_win) {
    const auto file = SettingsFile(
        "[Parameters]\r\nPort=LOOP:seed=3\r\nDataBits=7\r\nstopBits=2\r\nparity=2\r\n"
        "BitRate=9600\r\nRTS/CTS=1\r\nDTREnable=0\r\n[Protocol]\r\nPacketSize=100\r\n"
        "Symbol=$141\r\n");
    const CliParse p = ParseCliOptions({"--baud", "300", "--settings", file});
    ASSERT_TRUE(p.Options) << p.Error;
    const LineSettings& s = p.Options->Settings;
    EXPECT_EQ(s.Port, "LOOP:seed=3");
    EXPECT_EQ(s.BitRate, 300);
    EXPECT_EQ(FrameText(s), "7-E-2");
    EXPECT_TRUE(s.RtsCts && !s.DTREnable && !s.XonXoff);
    EXPECT_EQ(s.PacketSize, 64);
    EXPECT_EQ(s.Symbol, 0x41);

    const CliParse defaults = ParseCliOptions({"--settings", SettingsFile("")});
    ASSERT_TRUE(defaults.Options);
    EXPECT_EQ(defaults.Options->Settings.Port, "LOOP");
    EXPECT_EQ(defaults.Options->Settings.Symbol, 0x5A);
    std::filesystem::remove(file);
}

TEST(CliOptions, a_wrong_plug_option_or_settings_file_is_a_usage_error) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--port", "LOOP:drop=2"}, "port 'LOOP:drop=2': 'drop=2': the probability"},
        {{"--port", "loop:speed=1,seed=2"}, "port 'loop:speed=1,seed=2': 'speed=1': the option"},
        {{"--settings", SettingsFile("[Parameters]\nPort=LOOP:seed=x\n")},
         "port 'LOOP:seed=x': 'seed=x': the seed"},
        {{"--settings", "/nonexistent/k.ini"}, "--settings: '/nonexistent/k.ini' does not exist"},
        {{"--port", "CABLE17:A"}, "port 'CABLE17:A': 'CABLE17': the cable number is not one of"},
        {{"--port", "cable:c"}, "port 'cable:c': the end is not A or B"},
        {{"--port", "CABLE:A:drop=2"}, "port 'CABLE:A:drop=2': 'drop=2': the probability"},
    };
    for (const auto& [args, message] : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(CliMain(args, out, err), 3) << args[1];
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("usage:"), std::string::npos);
    }
    std::filesystem::remove(SettingsFile(""));
}

// Whatever is at the path, a run that cannot take its settings from it does not start.
TEST(CliOptions, a_settings_file_that_is_not_a_readable_file_is_a_usage_error) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("kvartix-cli-files-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "folder.ini");
    std::vector<std::pair<std::string, std::string>> cases = {
        {(dir / "folder.ini").string(), "is a folder"},
    };
#ifndef _WIN32
    const auto fifo = (dir / "fifo.ini").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    cases.push_back({fifo, "is not a regular file"});
    if (::geteuid() != 0) {  // root reads any file
        const auto writeOnly = (dir / "write-only.ini").string();
        std::ofstream(writeOnly) << "[Parameters]\nPort=LOOP\n";
        std::filesystem::permissions(writeOnly, std::filesystem::perms::owner_write);
        cases.push_back({writeOnly, "cannot be read (Permission denied)"});
    }
#endif
    for (const auto& [path, problem] : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(CliMain({"--settings", path}, out, err), 3) << path;
        EXPECT_NE(err.str().find("--settings: '" + path + "' " + problem), std::string::npos)
            << err.str();
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kvartix

namespace kvartix {
namespace {

TEST(CliOptions, a_pattern_is_chosen_by_name_and_refused_where_it_cannot_run) {
    const struct {
        std::vector<std::string> Args;
        std::optional<LinePattern> Chosen;  // none: refused
        const char* Error;
    } kCases[] = {
        {{}, LinePattern::Packets, ""},
        {{"--pattern", "prbs9"}, LinePattern::Prbs9, ""},
        {{"--pattern=PRBS15"}, LinePattern::Prbs15, ""},
        {{"--pattern", "prbs20-qrss"}, LinePattern::Qrss20, ""},
        {{"--pattern", "prbs31", "--data-bits", "5"}, LinePattern::Prbs31, ""},
        {{"--pattern", "alt"}, LinePattern::Alt, ""},
        {{"--pattern", "prbs7"}, std::nullopt,
         "--pattern: 'prbs7' is not one of packets|prbs9|prbs11|prbs15|prbs20|prbs20-qrss|prbs23|"
         "prbs31|zeros|ones|alt"},
        {{"--pattern", "prbs15", "--xon-xoff"}, std::nullopt,
         "--pattern: The test pattern prbs15 holds the characters Xon and Xoff"},
        {{"--pattern", "zeros", "--mode", "loopback"}, std::nullopt,
         "--pattern: a loopback echoes what comes"},
        {{"--pattern", "packets", "--xon-xoff"}, LinePattern::Packets, ""},
    };
    for (const auto& c : kCases) {
        const CliParse p = ParseCliOptions(c.Args);
        ASSERT_EQ(p.Options.has_value(), c.Chosen.has_value()) << p.Error;
        if (c.Chosen) {
            EXPECT_EQ(p.Options->Settings.Pattern, *c.Chosen);
            EXPECT_EQ(p.Options->Settings.PacketSize, 512) << "the packet size stays";
        } else {
            EXPECT_EQ(p.Error.rfind(c.Error, 0), 0u) << p.Error;
        }
    }
}

TEST(CliOptions, a_settings_file_pattern_is_taken_and_the_option_wins) {
    const auto file = SettingsFile("[Protocol]\r\nPacketSize=64\r\nPattern=prbs23\r\n");
    const CliParse fromFile = ParseCliOptions({"--settings", file});
    ASSERT_TRUE(fromFile.Options) << fromFile.Error;
    EXPECT_EQ(fromFile.Options->Settings.Pattern, LinePattern::Prbs23);
    EXPECT_EQ(fromFile.Options->Settings.PacketSize, 64);
    const CliParse given = ParseCliOptions({"--pattern", "packets", "--settings", file});
    ASSERT_TRUE(given.Options) << given.Error;
    EXPECT_EQ(given.Options->Settings.Pattern, LinePattern::Packets);
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace kvartix
