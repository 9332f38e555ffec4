#pragma once

#include <string>

// What differs between the systems kvartix-cli runs on; one file per system, chosen by the
// build.
namespace kvartix {

// The help text's lines on --port: which names stand for ports here.
std::string PortNameHelp();
// Its lines on --list-ports: what is told of each port here.
std::string PortListHelp();

// Whether this process may write the file or folder (not whether the disk has room).
bool MayWrite(const std::string& path);
// Writes to a pipe whose reader has gone fail instead of ending the process.
void IgnoreBrokenPipe();

// While it lives, a console shows the program's UTF-8 text as such; output that goes to a
// file or a pipe gets the same UTF-8 bytes either way.
class ConsoleText {
  public:
    ConsoleText();
    ~ConsoleText();
    ConsoleText(const ConsoleText&) = delete;
    ConsoleText& operator=(const ConsoleText&) = delete;

  private:
    unsigned m_restore = 0;  // the console's own code page, where it was changed
};

}  // namespace kvartix
