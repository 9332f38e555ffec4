// SIGINT, SIGTERM and SIGHUP end a run as its time would: the port closed, the summary out.
#include <gtest/gtest.h>

#ifdef __linux__
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "cli/StopSignals.h"
#include "serial/posix/UucpLock.h"
#include "testkit/Pty.h"

namespace kvartix {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

// The handler runs on another thread, as it may on the port's I/O thread: only the wake-up
// it leaves behind can end the wait.
TEST(StopSignals, a_wait_wakes_as_soon_as_a_signal_comes_whichever_thread_takes_it) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const StopSignals signals;
        const SystemClock clock;
        sigset_t one, before;
        sigemptyset(&one);
        sigaddset(&one, signal);
        pthread_sigmask(SIG_BLOCK, &one, &before);
        std::thread taker([&one, signal] {
            pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
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

// A logout sends SIGTERM and SIGHUP together: one request. A second a while later, while the
// close hangs, ends the program.
TEST(StopSignals, a_second_signal_while_closing_ends_the_program_unless_it_came_with_the_first) {
    const pid_t child = ::fork();
    if (child == 0) {
        const StopSignals signals;
        std::raise(SIGTERM);
        if (StopSignals::Caught() != SIGTERM) _exit(1);
        std::raise(SIGHUP);
        if (StopSignals::Caught() != SIGTERM) _exit(2);
        std::this_thread::sleep_for(std::chrono::milliseconds(2100));
        std::raise(SIGINT);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
}

// kvartix-cli run as a program, its standard output gathered.
struct CliProcess {
    explicit CliProcess(std::vector<std::string> args) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        args.insert(args.begin(), KVARTIX_CLI);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if ((Pid = ::fork()) == 0) {
            ::dup2(out[1], 1);
            ::execv(KVARTIX_CLI, argv.data());
            _exit(127);
        }
        ::close(out[1]);
        Out = out[0];
        ::fcntl(Out, F_SETFL, O_NONBLOCK);
    }
    ~CliProcess() {
        if (Pid > 0 && ::kill(Pid, SIGKILL) == 0) ::waitpid(Pid, nullptr, 0);
        ::close(Out);
    }
    const std::string& Output() {
        char buf[4096];
        for (ssize_t n; (n = ::read(Out, buf, sizeof buf)) > 0;) Text.append(buf, n);
        return Text;
    }
    bool Holds(const std::string& path) const {
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(Pid) + "/fd", ec))
            if (fs::read_symlink(fd.path(), ec) == path) return true;
        return false;
    }
    // The exit status; -1 for an end by a signal or none within the limit.
    int Wait() {
        int status = 0;
        if (!test::Eventually([&] { return ::waitpid(Pid, &status, WNOHANG) == Pid; })) return -1;
        Pid = 0;
        Output();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t Pid = 0;
    int Out = -1;
    std::string Text;
};

bool Exclusive(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
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
        {SIGTERM, true, false, "\n  Cut short         interrupted by SIGTERM\n"},
        {SIGHUP, true, true, ",\"signal\":1,\"result\":\"interrupted\"}\n"},
        {SIGINT, false, false, "\n  Result            interrupted\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Signal);
        const test::PtyMaster master;
        const std::string port = c.OnPty ? master.SlavePath() : "LOOP";
        std::vector<std::string> args{"--seconds", "60", "--port", port};
        if (c.Json) args.push_back("--json");
        CliProcess cli(args);
        // Running: the port open, or a second's line out.
        ASSERT_TRUE(test::Eventually([&] {
            return c.OnPty ? cli.Holds(port) : cli.Output().find("   1  ") != std::string::npos;
        })) << cli.Output();
        const std::string lock = UucpLock::FileFor("/run/lock", port);
        const bool locked = c.OnPty && fs::exists(lock);

        const auto signalled = Steady::now();
        ::kill(cli.Pid, c.Signal);
        EXPECT_EQ(cli.Wait(), 128 + c.Signal) << cli.Output();
        EXPECT_LT(Steady::now() - signalled, std::chrono::seconds(2));
        EXPECT_NE(cli.Output().find(c.Shown), std::string::npos) << cli.Output();
        EXPECT_FALSE(c.OnPty && Exclusive(port)) << "TIOCEXCL left on";
        EXPECT_FALSE(locked && fs::exists(lock)) << lock << " left behind";
    }
}

}  // namespace
}  // namespace kvartix
#endif
