#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/IniDocument.h"

namespace kvartix {

// A missing or unreadable file reads as an empty one, as the platform's functions do.
IniDocument LoadIniFile(const std::string& path);

// The last step of a save, moving the finished temporary file over the old one. A test puts
// in a failing one to play a save interrupted before it.
using RenameStep = std::function<bool(const std::string& from, const std::string& to)>;

struct IniSaveOptions {
    // Made first when it is missing: the user's configuration folder of an installed program.
    std::string CreateFolder;
    RenameStep Rename;  // empty: the file system's rename
};

// "Unable to write to <path>.", the runtime's message for a refused settings write.
std::string WriteRefusedMessage(const std::string& path);

// Writes the whole text to a temporary file beside the file and renames it over the old one,
// so the file is never left half written. A read-only file is refused like a read-only folder.
// nullopt when saved, else WriteRefusedMessage(path).
std::optional<std::string> SaveIniFile(const std::string& path, const IniDocument& doc,
                                       const IniSaveOptions& options = {});

}  // namespace kvartix
