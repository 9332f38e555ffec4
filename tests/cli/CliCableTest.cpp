// The runner across the built-in null-modem cable: both ends through the run's one opener.
#include <gtest/gtest.h>

#include "cli/SimulatedRun.h"

namespace kvartix {
namespace {

using test::SimulatedRun;

struct CrossCase {
    std::vector<std::string> Flow;  // options added to the run
};

class CliCable : public ::testing::TestWithParam<CrossCase> {};

TEST_P(CliCable, two_tests_crossing_the_cable_are_clean_in_both_directions) {
    std::vector<std::string> args = {"--cross", "CABLE:A", "CABLE:B", "--seconds", "4", "--json"};
    args.insert(args.end(), GetParam().Flow.begin(), GetParam().Flow.end());
    const SimulatedRun run(args);
    EXPECT_EQ(run.status, kExitClean) << run.out.str() << run.err.str();
    for (const char* direction : {"\"port\":\"CABLE:A\",\"tx_port\":\"CABLE:B\"",
                                  "\"port\":\"CABLE:B\",\"tx_port\":\"CABLE:A\""})
        EXPECT_TRUE(run.Shows(direction)) << direction;
    EXPECT_EQ(run.err.str(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Flows, CliCable,
    ::testing::Values(CrossCase{{}}, CrossCase{{"--rts-cts", "--random"}},
                      CrossCase{{"--dsr", "flow"}}, CrossCase{{"--xon-xoff", "--random"}},
                      CrossCase{{"--xon-xoff", "--baud", "9600", "--packet", "64"}}));

// One way, as over a converter pair or a radio link: what the link does to A's stream is
// B's to count, and B's flow control still holds A.
TEST(CliCableOneWay, the_far_port_checks_what_the_link_delivered) {
    const struct {
        std::vector<std::string> Args;
        int Status;
        bool Lost;
    } cases[] = {
        {{"--rts-cts", "--random"}, kExitClean, false},
        {{"--xon-xoff", "--random"}, kExitClean, false},
        {{"--rx-port", "CABLE:B:drop=2e-4,seed=5"}, kExitErrors, true},
        {{"--rx-port", "CABLE:B:corrupt=2e-4,seed=5"}, kExitErrors, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--port", "CABLE:A", "--seconds", "3", "--json"};
        if (c.Args.front() != "--rx-port") args.insert(args.end(), {"--rx-port", "CABLE:B"});
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const SimulatedRun run(args);
        const std::string json = run.out.str();
        EXPECT_EQ(run.status, c.Status) << json << run.err.str();
        EXPECT_NE(json.find("\"tx_port\":\"CABLE:A\""), std::string::npos) << json;
        EXPECT_EQ(json.find("\"lost_characters\":0,") == std::string::npos, c.Lost) << json;
    }
}

TEST(CliCableEnds, an_end_given_twice_is_refused_at_its_second_open) {
    const SimulatedRun run({"--cross", "cable2:b", "CABLE2:B", "--seconds", "1"});
    EXPECT_EQ(run.status, kExitNoSession);
    EXPECT_NE(run.err.str().find("CABLE2:B is already open"), std::string::npos) << run.err.str();
}

}  // namespace
}  // namespace kvartix
