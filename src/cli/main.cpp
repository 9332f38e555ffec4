// kvartix-cli: a headless test of a serial port, for benches and production lines.
#include <iostream>

#include "cli/CliPlatform.h"
#include "cli/CliRun.h"

int main(int argc, char** argv) {
    const kvartix::ConsoleText console;
    return kvartix::CliMain(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
