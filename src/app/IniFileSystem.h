#pragma once

// Between app/IniFile.cpp and the one file per system it leaves the reads and writes to
// (app/IniFilePosix.cpp or app/IniFileWin32.cpp, whichever the build takes). Nothing else
// includes this.

#include <filesystem>
#include <string>

#include "app/IniFile.h"

namespace kvartix::ini_file {

// In app/IniFile.cpp.
std::string TooLarge();               // "is larger than 16 MB"
std::string CannotBeRead(int error);  // "cannot be read (<the error's text>)"
// "<file>.<process id>.tmp": where a save writes before its rename.
std::filesystem::path TemporaryBeside(const std::filesystem::path& file);

// In the system's file.
int ProcessId();
// Reads what is at the path into read as ReadIniFile promises; read comes in empty.
void ReadRegularFile(const std::string& path, IniRead& read);
// Replaces the file (every link already followed) with the bytes, as SaveIniFile promises;
// rename, when set, is the last step. false when refused.
bool ReplaceFile(const std::filesystem::path& target, const std::string& bytes,
                 const RenameStep& rename);

}  // namespace kvartix::ini_file
