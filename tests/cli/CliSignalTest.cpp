// SIGINT, SIGTERM and SIGHUP end a run as its time would: the port closed, the summary out.
#include <gtest/gtest.h>

#ifdef __linux__
#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "cli/StopSignals.h"
#include "serial/posix/UucpLock.h"
#include "support/Pty.h"

extern char** environ;

namespace kvartix {
namespace {

using Steady = std::chrono::steady_clock;

// The handler runs on another thread, as it may on the port's I/O thread: only the wake-up
// it leaves behind can end the wait.
TEST(StopSignals, a_wait_wakes_as_soon_as_a_signal_comes_whichever_thread_takes_it) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const StopSignals signals;
        SystemClock clock;
        sigset_t blocked, before;
        sigemptyset(&blocked);
        sigaddset(&blocked, signal);
        pthread_sigmask(SIG_BLOCK, &blocked, &before);
        std::thread taker([signal] {
            sigset_t taken;
            sigemptyset(&taken);
            sigaddset(&taken, signal);
            pthread_sigmask(SIG_UNBLOCK, &taken, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::kill(::getpid(), signal);
        });
        const auto start = Steady::now();
        EXPECT_EQ(signals.WaitUntil(clock, clock.NowUs() + 10'000'000), signal);
        taker.join();
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        EXPECT_LT(Steady::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(signals.WaitUntil(clock, clock.NowUs() + 10'000'000), signal) << "at once";
    }
}

TEST(StopSignals, a_second_signal_while_closing_ends_the_program_at_once) {
    const pid_t child = ::fork();
    if (child == 0) {
        const StopSignals signals;
        std::raise(SIGTERM);
        if (StopSignals::Caught() != SIGTERM) _exit(1);
        std::raise(SIGINT);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
}

// kvartix-cli run as a program, its standard output kept.
class CliProcess {
public:
    explicit CliProcess(std::vector<std::string> args) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        args.insert(args.begin(), KVARTIX_CLI);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, KVARTIX_CLI, &actions, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("spawn");
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
        ::fcntl(m_out, F_SETFL, O_NONBLOCK);
    }
    ~CliProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
    }

    pid_t Pid() const { return m_pid; }
    const std::string& Output() {
        char buf[4096];
        for (ssize_t n; (n = ::read(m_out, buf, sizeof buf)) > 0;) m_text.append(buf, n);
        return m_text;
    }
    bool Holds(const std::string& path) const {
        namespace fs = std::filesystem;
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(m_pid) + "/fd", ec))
            if (fs::read_symlink(fd.path(), ec) == path) return true;
        return false;
    }
    // The exit status; -1 for an end by a signal or after the limit.
    int Wait(std::chrono::seconds limit) {
        int status = 0;
        const bool ended = test::Eventually(
            [&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; }, limit);
        if (!ended) return -1;
        m_pid = 0;
        Output();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = 0;
    int m_out = -1;
    std::string m_text;
};

bool Exclusive(const std::string& slave) {
    const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == EBUSY;
    int exclusive = 0;
    ::ioctl(fd, TIOCGEXCL, &exclusive);
    ::close(fd);
    return exclusive != 0;
}

TEST(CliProgram, a_stop_signal_closes_the_port_prints_the_summary_and_exits_128_plus_n) {
    const struct {
        int Signal;
        bool OnPty;  // else LOOP
        bool Json;
        const char* Shown;
    } cases[] = {
        {SIGTERM, true, false, "  Cut short         interrupted by SIGTERM\n"},
        {SIGHUP, true, true, ",\"signal\":1,\"result\":\"interrupted\"}\n"},
        {SIGINT, false, false, "  Result            interrupted\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Signal);
        test::PtyMaster master;
        std::vector<std::string> args{"--seconds", "60", "--port",
                                      c.OnPty ? master.SlavePath() : "LOOP"};
        if (c.Json) args.push_back("--json");
        CliProcess cli(args);
        // Running: the port open, or a second's line out.
        ASSERT_TRUE(test::Eventually([&] {
            return c.OnPty ? cli.Holds(master.SlavePath())
                           : cli.Output().find("   1  Received") != std::string::npos;
        })) << cli.Output();
        const std::string lock = UucpLock::FileFor("/run/lock", master.SlavePath());
        const bool locked = c.OnPty && std::filesystem::exists(lock);

        const auto signalled = Steady::now();
        ::kill(cli.Pid(), c.Signal);
        EXPECT_EQ(cli.Wait(std::chrono::seconds(10)), 128 + c.Signal) << cli.Output();
        EXPECT_LT(Steady::now() - signalled, std::chrono::seconds(2));
        EXPECT_NE(cli.Output().find(c.Shown), std::string::npos) << cli.Output();
        if (!c.OnPty) continue;
        EXPECT_FALSE(Exclusive(master.SlavePath())) << "TIOCEXCL left on";
        if (locked) {
            EXPECT_FALSE(std::filesystem::exists(lock)) << lock << " left behind";
        }
    }
}

}  // namespace
}  // namespace kvartix
#endif
