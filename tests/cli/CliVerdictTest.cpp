// How a run ends and what it says: sent against received, a lost port, data a loopback lost,
// a signal.
#include <gtest/gtest.h>

#include <csignal>
#include <optional>

#include "cli/EchoPort.h"
#include "cli/SimulatedRun.h"
#include "support/FakeCommPort.h"

namespace kvartix {
namespace {

using test::EchoPort;
using test::OneOpener;
using test::SimulatedRun;

// A number of the JSON summary; none for null.
std::optional<std::int64_t> Number(const SimulatedRun& run, const std::string& key) {
    const std::string json = run.out.str();
    const auto at = json.find("\"" + key + "\":");
    EXPECT_NE(at, std::string::npos) << key << " in " << json;
    const std::string value = json.substr(at + key.size() + 3);
    if (at == std::string::npos || value.rfind("null", 0) == 0) return std::nullopt;
    return std::stoll(value);
}

std::vector<std::string> With(std::vector<std::string> args, const char* more) {
    args.push_back(more);
    return args;
}

TEST(CliSentAndReceived, a_bert_over_a_loop_counts_what_never_came_back_once_the_port_settled) {
    const std::optional<std::int64_t> notJudged;
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        std::optional<EchoPort::Script> Echo;
        std::optional<std::int64_t> Lost;
        std::int64_t Queued;
        const char* Result;
        int Status;
    } cases[] = {
        {"LOOP", {}, {}, 0, 0, "no errors", kExitClean},
        {"LOOP with Xon/Xoff: the leading Xon is flow control", {"--xon-xoff"}, {}, 0, 0,
         "no errors", kExitClean},
        {"LOOP with packet size 1", {"--packet", "1"}, {}, 0, 0, "no errors", kExitClean},
        {"LOOP at 9600: a write of 60000 cannot be through", {"--baud", "9600"}, {}, notJudged,
         60000, "no errors", kExitClean},
        {"an echo", {}, EchoPort::Script{}, 0, 0, "no errors", kExitClean},
        {"an echo losing one packet, which the checker cannot see", {},
         EchoPort::Script{1024, 512}, 512, 0, "characters lost", kExitErrors},
        {"an echo losing a kernel buffer's eight packets", {}, EchoPort::Script{70000, 4096},
         4096, 0, "characters lost", kExitErrors},
        {"an echo losing part of a packet: the checker's errors come first", {},
         EchoPort::Script{1024, 100}, 100, 0, "errors counted", kExitErrors},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"--seconds", "2"});
        OneOpener opener(c.Echo ? std::make_unique<EchoPort>(*c.Echo) : nullptr);
        const test::RunSetup setup{c.Echo ? &opener : nullptr};
        SimulatedRun json(With(args, "--json"), setup);
        EXPECT_EQ(json.status, c.Status) << json.out.str();
        const auto sent = Number(json, "sent"), received = Number(json, "received");
        EXPECT_EQ(Number(json, "lost_characters"), c.Lost);
        EXPECT_EQ(Number(json, "queued"), c.Queued);
        // The leading Xon is sent and never received.
        const int flow = c.Args.size() && c.Args[0] == "--xon-xoff" ? 1 : 0;
        if (c.Lost) {
            EXPECT_EQ(*sent - *received, *c.Lost + flow);
        }
        EXPECT_NE(json.out.str().find(std::string("\"result\":\"") + c.Result), std::string::npos);

        OneOpener textOpener(c.Echo ? std::make_unique<EchoPort>(*c.Echo) : nullptr);
        SimulatedRun text(args, {c.Echo ? &textOpener : nullptr});
        EXPECT_TRUE(text.Shows("  Sent                                  final count " +
                               std::to_string(*sent) + " characters"))
            << text.out.str();
        EXPECT_TRUE(text.Shows(c.Lost ? "  Lost characters   " + std::to_string(*c.Lost) + " "
                                      : "  Lost characters   not judged: a write still pending"))
            << text.out.str();
        EXPECT_TRUE(text.Shows(std::string("  Result            ") + c.Result));
    }
}

TEST(CliSentAndReceived, single_drops_are_lost_characters_and_lost_symbols_alike) {
    SimulatedRun run({"--port", "LOOP:drop=1e-3,seed=3", "--seconds", "5", "--json"});
    EXPECT_EQ(run.status, kExitErrors);
    EXPECT_GT(Number(run, "lost_symbols").value_or(0), 10);
    EXPECT_EQ(Number(run, "lost_characters"), Number(run, "lost_symbols"));
}

TEST(CliPortLost, a_port_that_vanishes_cuts_the_run_short_exits_2_and_still_sums_up) {
    const struct {
        const char* Name;
        int GoneAtRead;
    } cases[] = {{"in the run", 5}, {"in the drain after it", 23}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        OneOpener textOpener(std::make_unique<EchoPort>(EchoPort::Script{0, 0, c.GoneAtRead}));
        SimulatedRun text({"--port", "/dev/echo", "--seconds", "2"}, {&textOpener});
        EXPECT_EQ(text.status, kExitNoSession);
        EXPECT_EQ(text.err.str(), "/dev/echo не доступен\n");
        EXPECT_TRUE(text.Shows("  Cut short         the port was lost\n")) << text.out.str();
        EXPECT_TRUE(text.Shows("  Lost characters   not judged: the run was cut short\n"));
        EXPECT_TRUE(text.Shows("  Result            port lost\n"));

        OneOpener jsonOpener(std::make_unique<EchoPort>(EchoPort::Script{0, 0, c.GoneAtRead}));
        SimulatedRun json({"--port", "/dev/echo", "--seconds", "2", "--json"}, {&jsonOpener});
        EXPECT_EQ(json.status, kExitNoSession);
        EXPECT_GT(Number(json, "received").value_or(0), 0);
        EXPECT_TRUE(json.Shows("\"signal\":null,\"result\":\"port lost\"}")) << json.out.str();
    }
}

TEST(CliLoopback, what_the_driver_threw_away_fails_it_and_nothing_else_does) {
    const struct {
        const char* Name;
        std::uint32_t Mask;
        const char* Result;
        int Status;
        std::int64_t Overflows;
    } cases[] = {
        {"receive buffer overflow", CE_RXOVER, "data lost", kExitErrors, 1},
        {"overrun", CE_OVERRUN, "data lost", kExitErrors, 0},
        {"a break, also among the other errors", CE_BREAK, "no errors", kExitClean, 0},
        {"parity and framing: garbled, not lost", CE_RXPARITY | CE_FRAME, "no errors",
         kExitClean, 0},
        {"nothing", 0, "no errors", kExitClean, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto port = std::make_unique<test::FakeCommPort>();
        port->S.ErrorMasks = {0, 0, c.Mask};
        OneOpener opener(std::move(port));
        SimulatedRun run({"--port", "/dev/fake", "--mode", "loopback", "--seconds", "2", "--json"},
                         {&opener});
        EXPECT_EQ(run.status, c.Status) << run.out.str();
        EXPECT_EQ(Number(run, "receive_overflows"), c.Overflows);
        EXPECT_TRUE(run.Shows(std::string("\"result\":\"") + c.Result + "\"")) << run.out.str();
    }
}

TEST(CliInterrupted, a_signal_ends_the_run_at_its_next_step_closes_the_port_and_exits_128_plus_n) {
    // Waits: the first is for the whole second; 2 s of cycles follow, then the drain's.
    const struct {
        const char* Name;
        int AtWait;
        int Signal;
        bool Started;
    } cases[] = {
        {"before the start", 1, SIGTERM, false},
        {"in the run", 6, SIGINT, true},
        {"in the drain", 24, SIGHUP, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const bool json : {false, true}) {
            auto port = std::make_unique<EchoPort>(EchoPort::Script{});
            const auto closes = port->Closes;
            OneOpener opener(std::move(port));
            std::vector<std::string> args{"--port", "/dev/echo", "--seconds", "2"};
            if (json) args.push_back("--json");
            SimulatedRun run(args, {&opener, c.AtWait, c.Signal});
            EXPECT_EQ(run.status, kExitSignal + c.Signal);
            EXPECT_EQ(run.waits, c.AtWait) << "not a wait more";
            EXPECT_EQ(opener.Opens, c.Started ? 1 : 0);
            EXPECT_EQ(*closes, c.Started ? 1 : 0);
            if (!c.Started) {
                EXPECT_EQ(run.out.str(), "");
                EXPECT_EQ(run.err.str(), "kvartix-cli: SIGTERM before the test started\n");
            } else if (json) {
                EXPECT_TRUE(run.Shows(",\"lost_characters\":null,\"drain_seconds\":"));
                EXPECT_TRUE(run.Shows(",\"signal\":" + std::to_string(c.Signal) +
                                      ",\"result\":\"interrupted\"}"))
                    << run.out.str();
            } else {
                EXPECT_TRUE(run.Shows("  Cut short         interrupted by SIG")) << run.out.str();
                EXPECT_TRUE(run.Shows("  Result            interrupted\n"));
            }
        }
    }
}

}  // namespace
}  // namespace kvartix
