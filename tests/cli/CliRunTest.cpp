#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/CliRun.h"
#include "cli/SimulatedRun.h"
#ifdef __linux__
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "serial/posix/UucpLock.h"
#include "testkit/Pty.h"
#endif

namespace kvartix {
namespace {

using test::SimulatedRun;

TEST(CliRun, with_no_options_prints_ten_seconds_and_passes) {
    SimulatedRun run({});
    EXPECT_EQ(run.status, kExitClean);
    EXPECT_EQ(run.SecondLines(), 10);
    EXPECT_NE(run.out.str().find("Time 0:00:10"), std::string::npos);
    EXPECT_NE(run.out.str().find("Errors            0"), std::string::npos);
    EXPECT_TRUE(run.err.str().empty());
}

TEST(CliRun, thirty_seconds_on_loop_reach_the_line_rate) {
    SimulatedRun run({"--seconds", "30", "--json"});
    const std::string json = run.out.str();
    const auto at = json.find("\"symbols_per_second\":");
    ASSERT_NE(at, std::string::npos) << json;
    const long rate = std::stol(json.substr(at + 21));
    EXPECT_NEAR(rate, 11520, 115);
    EXPECT_NE(json.find("\"errored_seconds\":0,\"synchronised\":true"), std::string::npos);
    EXPECT_NE(json.find("\"coefficient\":0,"), std::string::npos);
}

TEST(CliRun, a_corrupting_plug_fails_the_run_and_shows_the_coefficient) {
    SimulatedRun run({"--port", "LOOP:corrupt=1e-3,seed=2", "--seconds", "5"});
    EXPECT_EQ(run.status, kExitErrors);
    const std::string out = run.out.str();
    EXPECT_NE(out.find("Coef errors       1.1E-03"), std::string::npos) << out;
    EXPECT_NE(out.find("Errored seconds   5"), std::string::npos) << out;
    EXPECT_NE(out.find("errors counted"), std::string::npos);
}

TEST(CliRun, json_carries_every_summary_key) {
    SimulatedRun run({"--port", "LOOP:drop=1e-3,seed=3", "--seconds", "2", "--json"});
    EXPECT_EQ(run.status, kExitErrors);
    const std::string json = run.out.str();
    EXPECT_EQ(run.Lines().size(), 1u) << "only the summary";
    for (const char* key :
         {"\"port\":\"LOOP:drop=1e-3,seed=3\"", "\"mode\":\"bert\"", "\"seconds\":2.",
          "\"received\":", "\"errors\":", "\"coefficient\":0.00",
          "\"invalid_symbols\":", "\"lost_symbols\":", "\"sync_lost\":", "\"parity_errors\":0",
          "\"overrun_errors\":0", "\"framing_errors\":0", "\"other_errors\":0",
          "\"capacity_used\":", "\"errored_seconds\":2"})
        EXPECT_NE(json.find(key), std::string::npos) << key << " in " << json;
}

TEST(CliRun, a_bert_that_never_synchronised_or_received_nothing_fails) {
    const struct {
        const char* Port;
        const char* Result;
        const char* Json;
    } cases[] = {{"LOOP:corrupt=1,seed=1", "never synchronised", "\"synchronised\":false"},
                 {"LOOP:drop=1,seed=1", "no data received", "\"received\":0,"}};
    for (const auto& c : cases) {
        SimulatedRun run({"--port", c.Port, "--seconds", "2"});
        EXPECT_EQ(run.status, kExitErrors) << c.Port;
        EXPECT_NE(run.out.str().find(std::string("Result            ") + c.Result),
                  std::string::npos)
            << run.out.str();
        SimulatedRun json({"--port", c.Port, "--seconds", "2", "--json"});
        EXPECT_EQ(json.status, kExitErrors);
        EXPECT_NE(json.out.str().find(c.Json), std::string::npos) << json.out.str();
    }
}

TEST(CliRun, packet_size_one_has_no_packet_errors_line) {
    SimulatedRun run({"--packet", "1", "--seconds", "2"});
    EXPECT_EQ(run.status, kExitClean) << run.out.str();
    EXPECT_EQ(run.out.str().find("Packet errors"), std::string::npos);
    EXPECT_NE(run.out.str().find("Result            no errors"), std::string::npos);
}

TEST(CliRun, a_port_that_does_not_open_exits_2_with_its_message) {
    SimulatedRun run({"--port", "/dev/does-not-exist"});
    EXPECT_EQ(run.status, kExitNoSession);
    EXPECT_EQ(run.err.str(), "/dev/does-not-exist не доступен\n");
    EXPECT_TRUE(run.out.str().empty());
}

TEST(CliRun, a_frame_the_driver_refuses_exits_2_with_the_driver_message) {
    SimulatedRun run({"--stop-bits", "1.5"});
    EXPECT_EQ(run.status, kExitNoSession);
    EXPECT_EQ(run.err.str(),
              "Драйвер Windows для порта LOOP не может работать с такими параметрами.\n");
}

std::vector<std::vector<std::string>> CsvRows(std::istream& in) {
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string>& row = rows.emplace_back();
        std::istringstream fields(line);
        for (std::string f; std::getline(fields, f, ',');) row.push_back(f);
    }
    return rows;
}

// The number after "key": in the summary's JSON.
std::string JsonNumber(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\":");
    if (at == std::string::npos) return "missing " + key;
    const auto from = at + key.size() + 3;
    return json.substr(from, json.find_first_of(",}", from) - from);
}

// The summary, the JSON and the record's last row are one value: the final figures.
TEST(CliRecord, a_row_each_second_and_a_last_row_equal_to_the_summary) {
    const std::string file = ::testing::TempDir() + "kvartix-record.csv";
    const std::vector<std::string> args = {"--port", "LOOP:corrupt=1e-3,drop=1e-4,insert=1e-4,seed=5",
                                           "--seconds", "5", "--record", file};
    const SimulatedRun text(args);
    std::vector<std::string> withJson = args;
    withJson.push_back("--json");
    SimulatedRun run(withJson);
    std::ifstream in(file);
    const auto rows = CsvRows(in);
    ASSERT_EQ(rows.size(), 7u) << "the header, five seconds and the stop";
    EXPECT_EQ(rows[0][0], "time_s");
    EXPECT_EQ(rows[3][0], "3.0");
    const std::string json = run.out.str();
    const auto& last = rows.back();
    ASSERT_EQ(last.size(), rows[0].size());
    const std::pair<int, const char*> columns[] = {
        {1, "received"},       {2, "symbols_per_second"}, {3, "bits_per_second"},
        {4, "errors"},         {6, "invalid_symbols"},    {7, "lost_symbols"},
        {8, "sync_lost"},      {9, "parity_errors"},      {10, "overrun_errors"},
        {11, "framing_errors"}, {12, "other_errors"},      {18, "capacity_used"}};
    for (const auto& [column, key] : columns) EXPECT_EQ(last[column], JsonNumber(json, key)) << key;
    EXPECT_NE(last[4], "0");
    EXPECT_EQ(last[14], "1") << "DSR, wired to DTR on the plug";
    EXPECT_NE(text.out.str().find("final " + last[5] + "\n"), std::string::npos)
        << "the summary's coefficient is the record's: " << last[5] << "\n" << text.out.str();
    std::remove(file.c_str());
}

TEST(CliRecord, to_standard_output_the_rows_replace_the_second_lines_and_the_summary_moves) {
    SimulatedRun run({"--seconds", "2", "--record", "-"});
    EXPECT_EQ(run.Lines().size(), 4u) << run.out.str();
    EXPECT_EQ(run.SecondLines(), 0);
    EXPECT_NE(run.err.str().find("Result            no errors"), std::string::npos);
}

#ifdef __linux__
// What the user asked to keep: refused before the start when it could not be written or would
// block, left as it was by a run that never starts, and a failed write told with exit 4.
TEST(CliRecord, a_record_that_cannot_be_kept_is_told_and_loses_nothing) {
    const std::string dir = ::testing::TempDir() + "kvartix-records/";
    std::filesystem::create_directories(dir);
    const std::string fifo = dir + "fifo", earlier = dir + "earlier.csv", big = dir + "big.csv";
    ::mkfifo(fifo.c_str(), 0600);
    std::ofstream(earlier) << "earlier\n";
    const struct {
        std::vector<std::string> Args;
        int Status;
        const char* Err;  // what standard error holds
    } cases[] = {
        {{"--record", "/nonexistent-folder/run.csv"}, kExitBadOptions,
         "kvartix-cli: --record: '/nonexistent-folder/run.csv' cannot be written\n"},
        {{"--record", fifo}, kExitBadOptions, "is not a regular file\n"},
        {{"--port", "/dev/kvartix-none", "--record", earlier}, kExitNoSession, "не доступен"},
        {{"--seconds", "3", "--record", big}, kExitOutputFailed,
         "The record cannot be written: "},
    };
    rlimit was{};
    ::getrlimit(RLIMIT_FSIZE, &was);
    const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.back());
        rlimit small = was;
        small.rlim_cur = 300;  // the header and a row or two
        ::setrlimit(RLIMIT_FSIZE, &small);
        const SimulatedRun run(c.Args);
        ::setrlimit(RLIMIT_FSIZE, &was);
        EXPECT_EQ(run.status, c.Status);
        EXPECT_NE(run.err.str().find(c.Err), std::string::npos) << run.err.str();
    }
    std::signal(SIGXFSZ, ignored);
    std::ifstream in(earlier);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier\n");
    std::filesystem::remove_all(dir);
}
#endif

// A reader that stops reading (| head -2) ends the run as a stop does: the port closed, the
// summary on standard error, exit 4.
TEST(CliRecord, standard_output_closed_by_its_reader_ends_the_run_with_its_summary) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--seconds", "20", "--record", "-"},
          std::vector<std::string>{"--seconds", "20"}}) {
        test::RunSetup closesEarly;
        closesEarly.OutputClosesAt = 400;
        const SimulatedRun run(args, closesEarly);
        EXPECT_EQ(run.status, kExitOutputFailed);
        EXPECT_NE(run.err.str().find("Cut short         standard output was closed"),
                  std::string::npos)
            << run.err.str();
        EXPECT_LT(run.waits, 60) << "ended at once, not after its 20 s";
    }
}

TEST(CliMainProgram, bad_options_exit_3_with_a_usage_line_and_help_explains) {
    std::ostringstream out, err;
    EXPECT_EQ(CliMain({"--data-bits", "9"}, out, err), kExitBadOptions);
    EXPECT_NE(err.str().find("--data-bits"), std::string::npos);
    EXPECT_NE(err.str().find("usage: kvartix-cli"), std::string::npos);
    EXPECT_TRUE(out.str().empty());
    std::ostringstream helpOut, helpErr;
    EXPECT_EQ(CliMain({"--help"}, helpOut, helpErr), kExitClean);
    EXPECT_NE(helpOut.str().find("Exit status"), std::string::npos);
}

TEST(CliMainProgram, lists_the_ports_that_open_ending_with_the_plug) {
    std::ostringstream out, err;
    EXPECT_EQ(CliMain({"--list-ports"}, out, err), kExitClean);
    const std::string list = out.str();
    ASSERT_GE(list.size(), 5u);
    EXPECT_EQ(list.substr(list.size() - 5), "LOOP\n");
}

#ifdef __linux__
TEST(CliMainProgram, a_port_a_terminal_program_has_locked_names_the_lock_and_its_process) {
    test::PtyMaster master;
    const std::string lock = UucpLock::FileFor("/run/lock", master.SlavePath());
    const std::string pid = std::to_string(getppid());
    if (!(std::ofstream(lock) << std::string(10 - pid.size(), ' ') << pid << '\n'))
        GTEST_SKIP() << "no lock directory to write to";
    std::ostringstream out, err;
    EXPECT_EQ(CliMain({"--port", master.SlavePath()}, out, err), kExitNoSession);
    std::remove(lock.c_str());
    EXPECT_EQ(err.str(), master.SlavePath() + " не доступен\nkvartix-cli: " + master.SlavePath() +
                             " is locked by process " + pid + " (" + lock + ")\n");
}
#endif

TEST(CliMainProgram, runs_on_the_real_clock) {
    std::ostringstream out, err;
    EXPECT_EQ(CliMain({"--seconds", "2"}, out, err), kExitClean);
    EXPECT_NE(out.str().find("   2  Received"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("   3  Received"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace kvartix

namespace kvartix {
namespace {

TEST(CliRunPattern, the_summary_and_json_carry_the_bits_the_ratio_and_the_seconds) {
    const struct {
        std::vector<std::string> Args;
        int Status;
        std::vector<const char*> Shown;  // in the summary
        std::vector<const char*> Json;
    } kCases[] = {
        {{"--pattern", "prbs31", "--seconds", "10"},
         kExitClean,
         {"  Pattern           prbs31, O.150 5.8: x^31 + x^28 + 1, inverted\n",
          ", bit errors 0, sync lost 0\n", " at 95 % confidence (no bit errors)\n",
          "  G.821 seconds     severely errored 0, unavailable 0, error-free 9 of 9 available "
          "(100.0 %)\n",
          "Result            no errors"},
         {"\"pattern\":\"prbs31\"", "\"bit_errors\":0,\"ber\":0,\"ber_bound_95\":3.",
          "\"error_free_share\":1,\"signal\":null"}},
        {{"--pattern", "prbs15", "--seconds", "60", "--port", "LOOP:corrupt=1e-5,seed=4"},
         kExitErrors,
         {", sync lost 0\n", "  G.821 seconds     severely errored 0, unavailable 0, error-free ",
          "Result            errors counted"},
         {"\"pattern\":\"prbs15\"", "\"pattern_sync_lost\":0,\"severely_errored_seconds\":0,"
                                    "\"unavailable_seconds\":0,"}},
        // Every second at 1E-2: all of it unavailable, the last part-second with its errors too.
        {{"--pattern", "prbs9", "--seconds", "20", "--port", "LOOP:corrupt=2e-2,seed=4"},
         kExitErrors,
         {"  G.821 seconds     severely errored 0, unavailable 20, error-free 0 of 0 available\n"},
         {"\"unavailable_seconds\":20,\"error_free_seconds\":0,\"error_free_share\":null"}},
        {{"--pattern", "prbs15", "--seconds", "2", "--port", "LOOP:corrupt=1,seed=1"},
         kExitErrors,
         {"  BER               not measured: the pattern was never found\n",
          "Result            never synchronised"},
         {"\"synchronised\":false", "\"bits_checked\":0,"}},
        {{"--seconds", "2"},
         kExitClean,
         {"Packet errors"},
         {"\"pattern\":null,\"bits_checked\":null"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.Args[1] + " " + c.Args.back());
        const SimulatedRun run(c.Args);
        EXPECT_EQ(run.status, c.Status);
        for (const char* part : c.Shown)
            EXPECT_NE(run.out.str().find(part), std::string::npos) << part << " in\n"
                                                                   << run.out.str();
        std::vector<std::string> json = c.Args;
        json.push_back("--json");
        const SimulatedRun quiet(json);
        for (const char* part : c.Json)
            EXPECT_NE(quiet.out.str().find(part), std::string::npos) << part << " in\n"
                                                                     << quiet.out.str();
    }
}

}  // namespace
}  // namespace kvartix
