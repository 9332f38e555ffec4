#pragma once

#include <QObject>
#include <functional>

namespace kvartix {

// SIGTERM and SIGINT (a session logging out, `kill`, Ctrl+C in the starting terminal) end the
// program as closing its main window does, settings saved, instead of killing it outright.
// The signal handler only writes a byte; the handler given here runs on the main thread.
void OnTerminationSignal(QObject* owner, std::function<void()> handler);

}  // namespace kvartix
