// kvartix-cli on Windows. A console shows bytes in its output code page (cp866 or cp437 on
// most machines), which turns the program's UTF-8 Russian into mojibake: for the run it is
// switched to UTF-8 and then given back.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "cli/CliPlatform.h"

namespace kvartix {
namespace {

bool IsConsole(DWORD stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(stream), &mode) != 0;
}

}  // namespace

std::string PortNameHelp() {
    return R"(  --port NAME        the port: a COM name such as COM1 or COM12 (opened as \\.\COM12),
                     another device path as typed, or LOOP, the built-in loopback plug
                     (default LOOP).
)";
}

std::string PortListHelp() {
    return R"(  --list-ports       list the ports that can be opened now, one a line with its device,
                     and exit; with --json as an array of objects
)";
}

// The open after the start says whether the file could be written.
bool MayWrite(const std::string&) {
    return true;
}

// No SIGPIPE here: a write to a closed pipe fails as it is.
void IgnoreBrokenPipe() {}

ConsoleText::ConsoleText() {
    if (!IsConsole(STD_OUTPUT_HANDLE) && !IsConsole(STD_ERROR_HANDLE)) return;
    const UINT own = ::GetConsoleOutputCP();
    if (own != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) m_restore = own;
}

ConsoleText::~ConsoleText() {
    if (m_restore != 0) ::SetConsoleOutputCP(m_restore);
}

}  // namespace kvartix
