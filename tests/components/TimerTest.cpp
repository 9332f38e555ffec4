#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "components/ApplicationErrorReport.h"
#include "components/KivClasses2.h"
#include "support/EventLoop.h"

// Real time: every bound below is wide enough for a two-core machine busy with other builds.
// A tick can never come early, so the lower bounds are tight; the upper ones are not.

namespace kvartix {
namespace {

using test::NowMs;
using test::RunEventsFor;
using test::RunEventsUntil;

// Counts every tick that reaches Tick(), with or without a handler.
class CountingTimer : public TKivTimer32 {
  public:
    int Ticks = 0;

  protected:
    void Tick() override {
        ++Ticks;
        TKivTimer32::Tick();
    }
};

// Records when each tick's handler started and checks that it runs alone on the main thread.
struct TickLog {
    std::vector<double> Starts;
    int Depth = 0;
    int MaxDepth = 0;
    bool OffMainThread = false;

    TNotifyEvent Handler(std::function<void()> body = {}) {
        return [this, body](QObject*) {
            Starts.push_back(NowMs());
            MaxDepth = std::max(MaxDepth, ++Depth);
            if (QThread::currentThread() != qApp->thread()) OffMainThread = true;
            if (body) body();
            --Depth;
        };
    }
    int Count() const { return static_cast<int>(Starts.size()); }
    std::vector<double> Spacings() const {
        std::vector<double> s;
        for (size_t i = 1; i < Starts.size(); ++i) s.push_back(Starts[i] - Starts[i - 1]);
        return s;
    }
};

double Mean(const std::vector<double>& s) {
    return std::accumulate(s.begin(), s.end(), 0.0) / s.size();
}

void PrintSpacings(const char* what, const std::vector<double>& s) {
    const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
    std::printf("%s: %zu spacings, min %.1f ms, mean %.1f ms, max %.1f ms\n", what, s.size(), *lo,
                Mean(s), *hi);
}

// One tick after another: the next wait starts when the handler has returned, so a tick
// never piles up behind a slow handler.
struct SpacingCase {
    const char* Name;
    int HandlerMs;
    int Ticks;
    double Least;  // interval plus the handler's time
    double Most;
    double MostMean;
};

class TickSpacing : public ::testing::TestWithParam<SpacingCase> {};

TEST_P(TickSpacing, ticks_come_on_the_main_thread_one_at_a_time_an_interval_after_the_handler) {
    const SpacingCase& c = GetParam();
    TickLog log;
    TKivTimer32 timer;
    timer.SetInterval(100);
    timer.SetOnTimer(log.Handler(
        [&] { std::this_thread::sleep_for(std::chrono::milliseconds(c.HandlerMs)); }));
    timer.SetEnabled(true);
    ASSERT_TRUE(RunEventsUntil([&] { return log.Count() >= c.Ticks; }, 5000));

    const std::vector<double> s = log.Spacings();
    PrintSpacings(c.Name, s);
    for (double d : s) {
        EXPECT_GE(d, c.Least);
        EXPECT_LE(d, c.Most);
    }
    EXPECT_LE(Mean(s), c.MostMean);
    EXPECT_EQ(log.MaxDepth, 1);
    EXPECT_FALSE(log.OffMainThread);
}

INSTANTIATE_TEST_SUITE_P(Handlers, TickSpacing,
                         ::testing::Values(SpacingCase{"quick_handler", 0, 9, 99, 600, 200},
                                           SpacingCase{"handler_of_250_ms", 250, 4, 349, 900,
                                                       450}),
                         [](const auto& info) { return std::string(info.param.Name); });

struct IdleCase {
    const char* Name;
    bool Enabled;
    std::uint16_t Interval;
    bool Handler;
};

void PrintTo(const IdleCase& c, std::ostream* os) {
    *os << c.Name;
}

class KivTimerIdle : public ::testing::TestWithParam<IdleCase> {};

TEST_P(KivTimerIdle, gives_no_tick) {
    const IdleCase c = GetParam();
    CountingTimer timer;
    if (c.Handler) timer.SetOnTimer([](QObject*) {});
    timer.SetInterval(c.Interval);
    timer.SetEnabled(c.Enabled);
    RunEventsFor(300);
    EXPECT_EQ(timer.Ticks, 0);
}

INSTANTIATE_TEST_SUITE_P(Conditions, KivTimerIdle,
                         ::testing::Values(IdleCase{"disabled", false, 20, true},
                                           IdleCase{"interval_0", true, 0, true},
                                           IdleCase{"no_handler", true, 20, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(KivTimer, assigning_the_handler_alone_starts_nothing_until_a_property_is_set) {
    CountingTimer timer;
    timer.SetInterval(20);
    timer.SetOnTimer([](QObject*) {});
    RunEventsFor(200);
    EXPECT_EQ(timer.Ticks, 0);

    timer.SetPriority(timer.Priority());
    EXPECT_TRUE(RunEventsUntil([&] { return timer.Ticks > 0; }, 2000));
}

TEST(KivTimer,
     a_handler_that_disables_its_timer_gets_no_more_and_the_next_comes_an_interval_after_enabling) {
    TickLog log;
    TKivTimer32 timer;
    timer.SetInterval(150);
    timer.SetOnTimer(log.Handler([&] { timer.SetEnabled(false); }));
    timer.SetEnabled(true);
    ASSERT_TRUE(RunEventsUntil([&] { return log.Count() == 1; }, 2000));
    RunEventsFor(400);
    EXPECT_EQ(log.Count(), 1);

    const double enabled = NowMs();
    timer.SetEnabled(true);
    ASSERT_TRUE(RunEventsUntil([&] { return log.Count() == 2; }, 2000));
    std::printf("next tick %.1f ms after enabling (interval 150)\n", log.Starts[1] - enabled);
    EXPECT_GE(log.Starts[1] - enabled, 149.0);
    EXPECT_LE(log.Starts[1] - enabled, 500.0);
}

// Setting Enabled while enabled pauses and resumes the worker, which must neither restart
// nor cut short the wait it is in; a real pause stops that wait's clock until the resume.
TEST(KivTimer, a_pause_keeps_the_wait_in_progress) {
    TickLog log;
    TKivTimer32 timer;
    timer.SetInterval(400);
    timer.SetOnTimer(log.Handler([&] { timer.SetEnabled(false); }));

    double start = NowMs();
    timer.SetEnabled(true);
    RunEventsFor(200);
    timer.SetEnabled(true);
    ASSERT_TRUE(RunEventsUntil([&] { return log.Count() == 1; }, 2000));
    EXPECT_GE(log.Starts[0] - start, 399.0);
    EXPECT_LE(log.Starts[0] - start, 560.0) << "the wait was restarted";

    start = NowMs();
    timer.SetEnabled(true);
    RunEventsFor(200);
    timer.SetEnabled(false);
    const double waited = NowMs() - start;
    RunEventsFor(300);
    EXPECT_EQ(log.Count(), 1);
    const double resumed = NowMs();
    timer.SetEnabled(true);
    ASSERT_TRUE(RunEventsUntil([&] { return log.Count() == 2; }, 2000));
    const double rest = log.Starts[1] - resumed;
    std::printf("after a pause %.1f ms into a 400 ms wait, the tick came %.1f ms after resuming\n",
                waited, rest);
    EXPECT_GE(rest, 400.0 - waited - 1.0);
    EXPECT_LE(rest, 400.0 - waited + 150.0);
}

// The engine's own case: its handler shows a modal box while another timer keeps ticking.
TEST(KivTimer, ticks_arrive_inside_a_modal_message_box_and_never_reenter_its_handler) {
    TickLog boxLog, otherLog;
    QMessageBox* openBox = nullptr;
    int otherTicksInBox = 0;

    TKivTimer32 showsBox;
    showsBox.SetInterval(50);
    showsBox.SetOnTimer(boxLog.Handler([&] {
        if (boxLog.Count() > 1) return;
        QMessageBox box(QMessageBox::Critical, "KVARTIX ", "port failure", QMessageBox::Ok);
        openBox = &box;
        box.exec();
        openBox = nullptr;
    }));
    TKivTimer32 other;
    other.SetInterval(50);
    other.SetOnTimer(otherLog.Handler([&] {
        if (openBox && ++otherTicksInBox == 5) openBox->done(QMessageBox::Ok);
    }));
    showsBox.SetEnabled(true);
    other.SetEnabled(true);

    ASSERT_TRUE(RunEventsUntil([&] { return boxLog.Count() >= 3; }, 5000));
    EXPECT_EQ(otherTicksInBox, 5);
    EXPECT_EQ(boxLog.MaxDepth, 1);
    EXPECT_EQ(otherLog.MaxDepth, 1);
    EXPECT_GE(boxLog.Starts[1] - boxLog.Starts[0], 5 * 50.0) << "ticked while its box was open";
}

// The worker sends its tick while the main thread is busy and then waits for it.
void KeepMainThreadBusy() {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

TEST(KivTimer, destroying_a_timer_blocked_in_a_hand_over_returns_promptly_without_a_tick) {
    int ticks = 0;
    auto* timer = new TKivTimer32;
    timer->SetInterval(10);
    timer->SetOnTimer([&](QObject*) { ++ticks; });
    timer->SetEnabled(true);
    KeepMainThreadBusy();

    const double start = NowMs();
    delete timer;
    const double took = NowMs() - start;
    std::printf("destruction while blocked in a hand-over took %.2f ms\n", took);
    EXPECT_LT(took, 2000.0);  // well under a millisecond when the machine is idle
    RunEventsFor(100);
    EXPECT_EQ(ticks, 0);
}

TEST(KivTimer, a_tick_sent_before_the_timer_was_disabled_is_dropped_and_the_timer_resumes) {
    int ticks = 0;
    TKivTimer32 timer;
    timer.SetInterval(10);
    timer.SetOnTimer([&](QObject*) { ++ticks; });
    timer.SetEnabled(true);
    KeepMainThreadBusy();
    timer.SetEnabled(false);
    RunEventsFor(100);
    EXPECT_EQ(ticks, 0);

    timer.SetEnabled(true);
    EXPECT_TRUE(RunEventsUntil([&] { return ticks > 0; }, 2000));
}

// The handler owns what it captures and uses it after the delete (AddressSanitizer's case).
TEST(KivTimer, a_handler_may_destroy_its_own_timer) {
    auto ticks = std::make_shared<int>(0);
    auto* timer = new TKivTimer32;
    timer->SetInterval(10);
    timer->SetOnTimer([ticks](QObject* sender) {
        delete static_cast<TKivTimer32*>(sender);
        ++*ticks;
    });
    timer->SetEnabled(true);
    ASSERT_TRUE(RunEventsUntil([&] { return *ticks > 0; }, 2000));
    RunEventsFor(100);
    EXPECT_EQ(*ticks, 1);
}

class KivTimerError : public ::testing::Test {
  protected:
    void SetUp() override {
        m_previous =
            SetApplicationErrorReporter([this](const QString& text) { Reports.push_back(text); });
    }
    void TearDown() override { SetApplicationErrorReporter(m_previous); }

    std::vector<QString> Reports;

  private:
    ApplicationErrorReporter m_previous;
};

TEST_F(KivTimerError, an_error_escaping_the_handler_is_reported_and_the_timer_goes_on) {
    int ticks = 0;
    TKivTimer32 timer;
    timer.SetInterval(20);
    timer.SetOnTimer([&](QObject*) {
        ++ticks;
        if (ticks == 1) throw std::runtime_error("Invalid integer value");
        if (ticks == 2) throw 42;
    });
    timer.SetEnabled(true);
    ASSERT_TRUE(RunEventsUntil([&] { return ticks >= 4; }, 3000));
    ASSERT_EQ(Reports.size(), 2u);
    EXPECT_EQ(Reports[0], "Invalid integer value.");
    EXPECT_EQ(Reports[1], "Unknown error.");
    EXPECT_TRUE(timer.Enabled());
}

}  // namespace
}  // namespace kvartix
