#include "cli/StopSignals.h"

#include <csignal>

#ifdef _WIN32
#include <chrono>
#include <thread>
#else
#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kvartix {
namespace {

volatile std::sig_atomic_t g_caught = 0;

#ifdef _WIN32
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGBREAK};

// The C library has put the default action back before calling: a second one ends the program.
extern "C" void OnStopSignal(int signal) {
    g_caught = signal;
}
#else
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
// Written to from the handler, so that a wait wakes at once (the self-pipe).
int g_wakeWrite = -1;

// When the first arrived; a logout sends SIGTERM and SIGHUP together, which is one request.
volatile std::sig_atomic_t g_caughtAtSecond = 0;

std::sig_atomic_t MonotonicSecond() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
    return static_cast<std::sig_atomic_t>(now.tv_sec);
}

extern "C" void OnStopSignal(int signal) {
    if (g_caught != 0) {
        // Asked again, a second or more later, while closing: the default action, once this
        // handler returns.
        if (MonotonicSecond() - g_caughtAtSecond < 2) return;
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_caughtAtSecond = MonotonicSecond();
    g_caught = signal;
    const int saved = errno;
    (void)!::write(g_wakeWrite, "", 1);
    errno = saved;
}
#endif

constexpr int kCount = sizeof kSignals / sizeof kSignals[0];

}  // namespace

#ifdef _WIN32
struct StopSignals::Saved {
    void (*Previous[kCount])(int);
};

StopSignals::StopSignals() : m_saved(std::make_unique<Saved>()) {
    g_caught = 0;
    for (int i = 0; i < kCount; ++i) m_saved->Previous[i] = std::signal(kSignals[i], OnStopSignal);
}

StopSignals::~StopSignals() {
    for (int i = 0; i < kCount; ++i) std::signal(kSignals[i], m_saved->Previous[i]);
}

int StopSignals::WaitUntil(const Clock& clock, std::int64_t clockUs) const {
    // Nothing to wake a sleep here: short steps keep the answer within a few milliseconds.
    for (;;) {
        if (const int s = g_caught) return s;
        const std::int64_t delta = clockUs - clock.NowUs();
        if (delta <= 0) return 0;
        std::this_thread::sleep_for(std::chrono::microseconds(delta < 5000 ? delta : 5000));
    }
}
#else
struct StopSignals::Saved {
    struct sigaction Previous[kCount];
    int WakeRead = -1;
};

StopSignals::StopSignals() : m_saved(std::make_unique<Saved>()) {
    g_caught = 0;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_saved->WakeRead = fds[0];
        g_wakeWrite = fds[1];
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int s : kSignals) sigaddset(&action.sa_mask, s);
    for (int i = 0; i < kCount; ++i) ::sigaction(kSignals[i], &action, &m_saved->Previous[i]);
}

StopSignals::~StopSignals() {
    for (int i = 0; i < kCount; ++i) ::sigaction(kSignals[i], &m_saved->Previous[i], nullptr);
    if (m_saved->WakeRead >= 0) {
        ::close(m_saved->WakeRead);
        ::close(g_wakeWrite);
    }
    g_wakeWrite = -1;
}

int StopSignals::WaitUntil(const Clock& clock, std::int64_t clockUs) const {
    for (;;) {
        if (const int s = g_caught) return s;
        const std::int64_t delta = clockUs - clock.NowUs();
        if (delta <= 0) return 0;
        // The pipe stays readable once written: every later wait returns at once.
        pollfd wake{m_saved->WakeRead, POLLIN, 0};
        const timespec timeout{static_cast<time_t>(delta / 1'000'000),
                               static_cast<long>(delta % 1'000'000 * 1000)};
        ::ppoll(&wake, m_saved->WakeRead >= 0 ? 1 : 0, &timeout, nullptr);
    }
}
#endif

int StopSignals::Caught() {
    return g_caught;
}

}  // namespace kvartix
