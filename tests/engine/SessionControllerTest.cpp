// The session controller: one value of a run's final figures for every reader, and a
// record that says what the run did when it did it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "engine/RunRecord.h"
#include "engine/SessionController.h"
#include "serial/SystemPortOpener.h"
#include "support/FakeCommPort.h"
#include "support/ManualClock.h"
#include "support/Recorders.h"

namespace kvartix {
namespace {

namespace fs = std::filesystem;

// A box that lets the test look around at the moment a message comes.
struct WatchingBox final : ErrorBoxSink {
    void ErrorBox(const std::string& text, bool) override {
        Texts.push_back(text);
        if (OnMessage) OnMessage();
    }
    std::vector<std::string> Texts;
    std::function<void()> OnMessage;
};

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

class Controller : public ::testing::Test {
  protected:
    Controller() {
        fs::create_directories(dir);
        session.RecordIn(dir.string());
    }
    ~Controller() override { fs::remove_all(dir); }
    void Cycles(int n, std::int64_t stepMs = 100) {
        for (int i = 0; i < n; ++i) {
            session.Tick();
            clock.AdvanceMs(stepMs);
        }
    }
    LineSettings Settings(const std::string& port) {
        LineSettings s;
        s.Port = port;
        return s;
    }

    const fs::path dir = fs::temp_directory_path() /
                         ("kvartix-controller-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    test::ManualClock clock;
    test::RecordingView view;
    WatchingBox box;
    SystemPortOpener system{clock};
    test::FakeOpener fake;
    SessionController session{view, box, system, clock};
};

// A stop after 1.24 s on a faulty plug: the last row is the final figures on the exact time,
// never a rate above what the line carries.
TEST_F(Controller, a_stop_records_the_final_figures_on_the_exact_time) {
    ASSERT_TRUE(session.Start(TestMode::Bert, Settings("LOOP:corrupt=1e-3,drop=1e-4,seed=5")));
    Cycles(12);
    clock.AdvanceMs(40);
    session.Tick();
    const fs::path file = session.RecordPath();
    session.Stop();
    ASSERT_TRUE(session.Result());
    const RunFigures& f = session.Result()->Final;
    EXPECT_EQ(f.ElapsedUs, 1'240'000);
    EXPECT_EQ(f.CharRate, f.Received * 1'000'000 / f.ElapsedUs);
    EXPECT_LE(f.BitRate, 115200);
    EXPECT_GT(f.Errors, 0);
    const auto rows = Lines(file);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows.back() + "\n", RecordLine(f));
    EXPECT_EQ(session.RecordPath(), "") << "closed at the stop";
}

// The port gone: the last row is written and the port closed before the message waits
// for its OK, however long that takes.
TEST_F(Controller, a_lost_port_is_recorded_before_it_is_told) {
    SessionController onFake{view, box, fake, clock};
    onFake.RecordIn(dir.string());
    ASSERT_TRUE(onFake.Start(TestMode::Bert, Settings("COM3")));
    for (int i = 0; i < 25; ++i, clock.AdvanceMs(100)) onFake.Tick();
    fake.Opened->S.ReadResult = IoResult::Gone;
    const fs::path file = onFake.RecordPath();
    std::vector<std::string> atMessage;
    bool open = true;
    box.OnMessage = [&] {
        atMessage = Lines(file);
        open = onFake.Running();
        clock.AdvanceMs(7000);  // the user reads it
    };
    onFake.Tick();
    ASSERT_EQ(box.Texts.size(), 1u);
    EXPECT_FALSE(open);
    ASSERT_FALSE(atMessage.empty());
    EXPECT_EQ(atMessage.back().substr(0, 4), "2.5,") << atMessage.back();
    EXPECT_EQ(onFake.Result()->Ending, RunEnding::PortLost);
}

TEST_F(Controller, a_terminal_session_records_what_it_received_while_its_cells_count_none) {
    ASSERT_TRUE(session.Start(TestMode::Terminal, Settings("LOOP")));
    session.Core().TerminalTxText = std::string(3000, 'A');
    const fs::path file = session.RecordPath();
    Cycles(25);
    session.Stop();
    EXPECT_EQ(session.Result()->Final.Received, 3000);
    EXPECT_EQ(view.Stats[StatCell::CharRate], "0");
    const auto rows = Lines(file);
    ASSERT_GE(rows.size(), 3u);
    EXPECT_EQ(rows[rows.size() - 2].substr(0, 9), "2.0,3000,") << "an update row";
}

TEST_F(Controller, a_second_session_in_the_same_second_gets_a_record_of_its_own) {
    ASSERT_TRUE(session.Start(TestMode::Bert, Settings("LOOP")));
    const std::string first = session.RecordPath();
    Cycles(3);
    ASSERT_TRUE(session.Start(TestMode::Bert, Settings("LOOP")));
    const std::string second = session.RecordPath();
    session.Stop();
    EXPECT_NE(first, second);
    EXPECT_EQ(second.substr(second.size() - 6), "-2.csv");
    EXPECT_GE(Lines(first).size(), 2u) << "the first record kept";
}

}  // namespace
}  // namespace kvartix
