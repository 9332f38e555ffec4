#pragma once

#include <QObject>
#include <functional>

namespace kvartix {

// SIGTERM, SIGINT and SIGHUP (a session logging out, `kill`, Ctrl+C in the starting terminal,
// that terminal closing) end the program through the handler, which runs on the main thread
// with the signal's number, also while a message box waits for an answer; the signal handler
// itself only writes a byte. A signal a second or more after the first, which has not ended
// the program (the main thread is stuck), ends it at once, unsaved, with 128 + its number;
// signals closer together are one request (a logout sends SIGTERM and SIGHUP together).
void OnTerminationSignal(QObject* owner, std::function<void(int signal)> handler);

}  // namespace kvartix
