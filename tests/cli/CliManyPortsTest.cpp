// Several ports in one run: each through its own plug, one way and crossing a cable.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/EchoPort.h"
#include "cli/SimulatedRun.h"

namespace kvartix {
namespace {

using test::SimulatedRun;

// The JSON object of one port in a run's array; empty when it is not there.
std::string ObjectOf(const std::string& json, const std::string& port) {
    const auto at = json.find("{\"port\":\"" + port + "\"");
    return at == std::string::npos ? std::string() : json.substr(at, json.find('}', at) - at + 1);
}

std::string Value(const std::string& object, const std::string& key) {
    const auto at = object.find("\"" + key + "\":");
    if (at == std::string::npos) return "missing " + key;
    const auto from = at + key.size() + 3;
    return object.substr(from, object.find_first_of(",}", from) - from);
}

test::RunSetup WithVanishingPort() {
    test::RunSetup setup;
    setup.Served["GONE"] = [] { return std::make_unique<test::EchoPort>(test::EchoPort::Script{0, 0, 12}); };
    return setup;
}

// A card's ports at once: a refused or lost port ends its own session, told once; the others
// run their time; the status is the worst of them.
TEST(CliManyPorts, each_port_runs_its_own_session_and_the_worst_is_the_status) {
    const std::vector<std::string> ports = {"--port", "LOOP", "--port", "GONE",  "--port",
                                            "/nonexistent/tty", "--port",
                                            "LOOP:corrupt=1e-3,seed=4", "--seconds", "3"};
    std::vector<std::string> json = ports;
    json.push_back("--json");
    const SimulatedRun run(json, WithVanishingPort());
    EXPECT_EQ(run.status, kExitNoSession);
    const struct {
        const char* Port;
        const char* Result;
        const char* Seconds;
    } cases[] = {{"LOOP", "\"no errors\"", "3.000"},
                 {"GONE", "\"port lost\"", "missing seconds"},
                 {"/nonexistent/tty", "\"not started\"", "missing seconds"},
                 {"LOOP:corrupt=1e-3,seed=4", "\"errors counted\"", "3.000"}};
    const std::string out = run.out.str();
    ASSERT_EQ(out.front(), '[') << out;
    for (const auto& c : cases) {
        const std::string object = ObjectOf(out, c.Port);
        ASSERT_FALSE(object.empty()) << c.Port << " in " << out;
        EXPECT_EQ(Value(object, "result"), c.Result) << object;
        if (Value(object, "result") != "\"port lost\"") {
            EXPECT_EQ(Value(object, "seconds"), c.Seconds);
        }
    }
    const std::string err = run.err.str();
    const auto told = [&err](const std::string& text) {
        std::size_t n = 0;
        for (auto at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(told("GONE не доступен"), 1u) << err;
    EXPECT_EQ(told("/nonexistent/tty не доступен"), 1u) << err;

    const SimulatedRun text(ports, WithVanishingPort());
    EXPECT_TRUE(text.Shows("Summary: 4 ports, bert, 115200 bit/s 8-N-1, packet 512\n")) << text.out.str();
    EXPECT_TRUE(text.Shows("/nonexistent/tty          not started"));
    EXPECT_TRUE(text.Shows("errors counted\n"));
    EXPECT_TRUE(text.Shows("LOOP                        3  Received")) << "a line a second a port";
}

// A->B first, "port" the checking port, "tx_port" beside it; the text summaries in the same
// order.
TEST(CliManyPorts, across_a_cable_the_first_direction_is_from_the_first_port) {
    const std::vector<std::string> args = {"--cross", "LOOP", "LOOP:seed=1", "--seconds", "2"};
    std::vector<std::string> json = args;
    json.push_back("--json");
    const std::string out = SimulatedRun(json).out.str();
    const auto second = out.find("{\"port\"", 2);
    ASSERT_EQ(out.rfind("[{\"port\":\"LOOP:seed=1\",\"tx_port\":\"LOOP\",", 0), 0u) << out;
    ASSERT_NE(second, std::string::npos) << out;
    EXPECT_EQ(out.substr(second, 40).rfind("{\"port\":\"LOOP\",\"tx_port\":\"LOOP:seed=1\"", 0), 0u)
        << out;
    const std::string text = SimulatedRun(args).out.str();
    EXPECT_LT(text.find("Summary: LOOP -> LOOP:seed=1"), text.find("Summary: LOOP:seed=1 -> LOOP"))
        << text;
}

TEST(CliManyPorts, records_go_into_a_folder_a_file_per_port) {
    const std::string dir = ::testing::TempDir() + "kvartix-many/";
    std::filesystem::remove_all(dir);
    const std::vector<std::string> args = {"--port", "LOOP", "--port", "LOOP:seed=1",
                                           "--seconds", "2", "--record", dir};
    EXPECT_EQ(SimulatedRun(args).status, kExitBadOptions) << "no such folder";
    std::filesystem::create_directories(dir);
    EXPECT_EQ(SimulatedRun(args).status, kExitClean);
    std::vector<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(dir)) {
        names.push_back(f.path().filename().string());
        std::ifstream in(f.path());
        int rows = 0;
        for (std::string l; std::getline(in, l);) ++rows;
        EXPECT_EQ(rows, 4) << "a header, two seconds and the stop: " << names.back();
    }
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].rfind("LOOP_", 0), 0u);
    EXPECT_EQ(names[1].rfind("LOOP_seed=1_", 0), 0u) << names[1];
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kvartix
