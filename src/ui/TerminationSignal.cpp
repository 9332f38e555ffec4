#include "ui/TerminationSignal.h"

#include <QSocketNotifier>

#ifdef __linux__
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#endif

namespace kvartix {

#ifdef __linux__
namespace {

int g_signalPipe[2] = {-1, -1};

void Notify(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[0], &byte, 1);
}

}  // namespace

void OnTerminationSignal(QObject* owner, std::function<void()> handler) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [handler] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[1], &byte, 1);
        handler();
    });
    struct sigaction action {};
    action.sa_handler = Notify;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
#else
void OnTerminationSignal(QObject*, std::function<void()>) {}
#endif

}  // namespace kvartix
