// How a run ends and what it says: sent against received, a lost port, data a loopback lost,
// a signal.
#include <gtest/gtest.h>

#include <csignal>
#include <optional>

#include "cli/EchoPort.h"
#include "cli/SimulatedRun.h"
#include "engine/RunResult.h"
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
    if (at == std::string::npos) ADD_FAILURE() << key << " missing in " << json;
    if (at == std::string::npos || json.compare(at + key.size() + 3, 4, "null") == 0) return {};
    return std::stoll(json.substr(at + key.size() + 3));
}

// A run on an echo following the script, or on the system's ports without one.
SimulatedRun RunOn(std::vector<std::string> args, std::optional<EchoPort::Script> echo,
                   test::RunSetup setup = {}) {
    OneOpener opener(echo ? std::make_unique<EchoPort>(*echo) : nullptr);
    if (echo) setup.Opener = &opener;
    return SimulatedRun(std::move(args), setup);
}

std::vector<std::string> With(std::vector<std::string> args, const char* more) {
    args.push_back(more);
    return args;
}

TEST(CliSentAndReceived, a_bert_over_a_loop_counts_what_never_came_back_once_the_port_settled) {
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        std::optional<EchoPort::Script> Echo;
        std::optional<std::int64_t> Lost;
        std::int64_t Flow;  // sent, never to arrive as data
        const char* Result;
        int Status;
    } cases[] = {
        {"LOOP", {}, {}, 0, 0, "no errors", kExitClean},
        {"LOOP with Xon/Xoff: the leading Xon is taken as flow control", {"--xon-xoff"}, {}, 0, 1,
         "no errors", kExitClean},
        {"LOOP with packet size 1", {"--packet", "1"}, {}, 0, 0, "no errors", kExitClean},
        {"LOOP at 9600: what never left the port is not missed", {"--baud", "9600"}, {}, 0, 0,
         "no errors", kExitClean},
        {"an echo", {}, EchoPort::Script{}, 0, 0, "no errors", kExitClean},
        {"an echo whose last characters come back 300 ms late", {},
         EchoPort::Script{0, 0, 0, 3, 64}, 0, 0, "no errors", kExitClean},
        {"an echo losing a packet, unseen by the checker", {}, EchoPort::Script{1024, 512}, 512, 0,
         "characters lost", kExitErrors},
        {"an echo losing a kernel buffer's eight packets", {}, EchoPort::Script{70000, 4096},
         4096, 0, "characters lost", kExitErrors},
        {"an echo losing part of a packet: the checker's verdict first", {},
         EchoPort::Script{1024, 100}, 100, 0, "errors counted", kExitErrors},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> args = c.Args;
        args.insert(args.end(), {"--seconds", "2"});
        const SimulatedRun text = RunOn(args, c.Echo);
        const SimulatedRun json = RunOn(With(args, "--json"), c.Echo);
        EXPECT_EQ(json.status, c.Status) << json.out.str();
        EXPECT_EQ(Number(json, "lost_characters"), c.Lost);
        const std::int64_t sent = Number(json, "sent").value_or(-1);
        const std::int64_t queued = Number(json, "queued").value_or(-1);
        if (c.Lost) {
            EXPECT_EQ(sent - queued - *Number(json, "received"), *c.Lost + c.Flow)
                << "what never left the port is not lost";
        }
        EXPECT_TRUE(json.Shows(std::string("\"result\":\"") + c.Result));

        EXPECT_TRUE(text.Shows("\n  Sent                                  final count " +
                               std::to_string(sent) + " characters"))
            << text.out.str();
        EXPECT_TRUE(text.Shows("\n  Lost characters   " + std::to_string(c.Lost.value_or(-1)) + " "));
        EXPECT_TRUE(text.Shows(std::string("\n  Result            ") + c.Result + "\n"));
    }
}

TEST(CliSentAndReceived, single_drops_are_lost_characters_and_lost_symbols_alike) {
    const SimulatedRun run({"--port", "LOOP:drop=1e-3,seed=3", "--seconds", "5", "--json"});
    EXPECT_EQ(run.status, kExitErrors);
    EXPECT_GT(Number(run, "lost_symbols").value_or(0), 10);
    EXPECT_EQ(Number(run, "lost_characters"), Number(run, "lost_symbols"));
}

// An Xon the loop corrupted held the run for good; it is sent again and the run goes on.
TEST(CliXonXoff, a_lost_xon_is_sent_again_and_a_run_that_ends_held_is_not_clean) {
    const SimulatedRun run({"--port", "LOOP:flowcorrupt=2", "--xon-xoff", "--random", "--seconds",
                            "10", "--json"});
    EXPECT_GE(Number(run, "xon_resent").value_or(0), 1);
    EXPECT_GT(Number(run, "received").value_or(0), 30000) << run.out.str();
    EXPECT_TRUE(run.Shows("\"held_at_end_seconds\":0.0,")) << run.out.str();
    RunResult held;
    held.PacketSize = 1;
    held.Final.Received = 1000;
    for (const auto& [atEndUs, verdict] : {std::pair{4'900'000, RunVerdict::Clean},
                                           std::pair{5'000'000, RunVerdict::HeldByXoff}}) {
        held.HeldAtEndUs = atEndUs;
        EXPECT_EQ(held.Verdict(), verdict) << atEndUs;
    }
}

TEST(CliPortLost, a_port_that_vanishes_cuts_the_run_short_exits_2_and_still_sums_up) {
    for (const int goneAtRead : {5 /* in the run */, 22 /* in the drain after it */}) {
        SCOPED_TRACE(goneAtRead);
        const std::vector<std::string> args{"--port", "/dev/echo", "--seconds", "2"};
        const SimulatedRun text = RunOn(args, EchoPort::Script{0, 0, goneAtRead});
        EXPECT_EQ(text.status, kExitNoSession);
        EXPECT_EQ(text.err.str(), "/dev/echo не доступен\n");
        for (const char* line : {"\n  Cut short         the port was lost\n",
                                 "\n  Lost characters   not judged: the run was cut short\n",
                                 "\n  Result            port lost\n"})
            EXPECT_TRUE(text.Shows(line)) << line << " in " << text.out.str();
        const SimulatedRun json = RunOn(With(args, "--json"), EchoPort::Script{0, 0, goneAtRead});
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
        {"a break, among the other errors too", CE_BREAK, "no errors", kExitClean, 0},
        {"parity, framing: garbled, not lost", CE_RXPARITY | CE_FRAME, "no errors", kExitClean, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto port = std::make_unique<test::FakeCommPort>();
        port->S.ErrorMasks = {0, 0, c.Mask};
        OneOpener opener(std::move(port));
        const SimulatedRun run({"--port", "/dev/fake", "--mode", "loopback", "--json"}, {&opener});
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
        bool Json;
        const char* Shown;
    } cases[] = {
        {"before the start", 1, SIGTERM, false, ""},
        {"in the run", 6, SIGINT, false, "\n  Cut short         interrupted by SIGINT\n"},
        {"in the drain", 22, SIGTERM, false, "\n  Result            interrupted\n"},
        {"in the run, in JSON", 6, SIGTERM, true,
         ",\"lost_characters\":null,\"drain_seconds\":null,\"held_seconds\":0.0,"
         "\"held_at_end_seconds\":0.0,\"xon_resent\":0,\"pattern\":null,\"bits_checked\":null,"
         "\"bit_errors\":null,\"ber\":null,\"ber_bound_95\":null,\"pattern_sync_lost\":null,"
         "\"severely_errored_seconds\":null,\"unavailable_seconds\":null,"
         "\"error_free_seconds\":null,\"error_free_share\":null,\"signal\":15,"
         "\"result\":\"interrupted\"}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto port = std::make_unique<EchoPort>(EchoPort::Script{});
        const auto closes = port->Closes;
        OneOpener opener(std::move(port));
        std::vector<std::string> args{"--port", "/dev/echo", "--seconds", "2"};
        if (c.Json) args.push_back("--json");
        const SimulatedRun run(args, {&opener, c.AtWait, c.Signal});
        EXPECT_EQ(run.status, kExitSignal + c.Signal);
        EXPECT_EQ(run.waits, c.AtWait) << "not a wait more";
        const bool started = c.AtWait > 1;
        EXPECT_EQ(*closes, started ? 1 : 0);
        EXPECT_TRUE(run.Shows(c.Shown)) << run.out.str();
        EXPECT_EQ(run.err.str(), started ? "" : "kvartix-cli: SIGTERM before the test started\n");
        if (!started) {
            EXPECT_EQ(run.out.str(), "");
        }
    }
}

}  // namespace
}  // namespace kvartix
