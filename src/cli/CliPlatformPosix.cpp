// kvartix-cli on Linux: terminals take UTF-8 as it is.
#include "cli/CliPlatform.h"

#include <unistd.h>

#include <csignal>

namespace kvartix {

std::string PortNameHelp() {
    return R"(  --port NAME        the port: COM1..COM32 (/dev/ttyS0..), a device path such as
                     /dev/ttyUSB0, or LOOP, the built-in loopback plug (default LOOP).
)";
}

std::string PortListHelp() {
    return R"(  --list-ports       list the ports that can be opened now, one a line with what the
                     system tells of each (device, driver, USB name and ids, serial number,
                     /dev/serial/by-id link, console or getty), and exit; with --json as
                     an array of objects
)";
}

bool MayWrite(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

void IgnoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

ConsoleText::ConsoleText() = default;
ConsoleText::~ConsoleText() = default;

}  // namespace kvartix
