#pragma once

#include <string>

namespace kvartix {

// "SIGTERM", "SIGINT", "SIGHUP" for the signals that end the programs; the number for another.
std::string SignalName(int signal);

}  // namespace kvartix
