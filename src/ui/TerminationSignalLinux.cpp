// The termination signals on Linux (the build takes this file or TerminationSignalNone.cpp).
#include "ui/TerminationSignal.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <ctime>

namespace kvartix {
namespace {

int g_signalPipe[2] = {-1, -1};

// When the first signal came, in milliseconds of the monotonic clock; -1 before.
std::atomic<std::int64_t> g_firstSignalMs{-1};
static_assert(std::atomic<std::int64_t>::is_always_lock_free, "used in a signal handler");

// Signals closer together than this are one request: a logout sends SIGTERM and SIGHUP at once.
constexpr std::int64_t kSameRequestMs = 1000;

void Notify(int signal) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::int64_t ms = std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
    std::int64_t first = -1;
    if (!g_firstSignalMs.compare_exchange_strong(first, ms)) {
        if (ms - first < kSameRequestMs) return;
        // The main thread has not ended the program on the first one: it is stuck.
        constexpr char kText[] = "kvartix: a second signal: ending at once, nothing saved\n";
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kText, sizeof kText - 1);
        ::_exit(128 + signal);
    }
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[0], &byte, 1);
}

}  // namespace

void OnTerminationSignal(QObject* owner, std::function<void(int signal)> handler) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [handler] {
        char byte = 0;
        if (::read(g_signalPipe[1], &byte, 1) == 1) handler(static_cast<unsigned char>(byte));
    });
    struct sigaction action {};
    action.sa_handler = Notify;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace kvartix
