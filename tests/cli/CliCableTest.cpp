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

TEST(CliCableEnds, an_end_given_twice_is_refused_at_its_second_open) {
    const SimulatedRun run({"--cross", "cable2:b", "CABLE2:B", "--seconds", "1"});
    EXPECT_EQ(run.status, kExitNoSession);
    EXPECT_NE(run.err.str().find("CABLE2:B is already open"), std::string::npos) << run.err.str();
}

}  // namespace
}  // namespace kvartix
