// kvartix-cli on Linux: terminals take UTF-8 as it is.
#include "cli/CliPlatform.h"

namespace kvartix {

std::string PortNameHelp() {
    return R"(  --port NAME        the port: COM1..COM32 (/dev/ttyS0..), a device path such as
                     /dev/ttyUSB0, or LOOP, the built-in loopback plug (default LOOP).
)";
}

ConsoleText::ConsoleText() = default;
ConsoleText::~ConsoleText() = default;

}  // namespace kvartix
