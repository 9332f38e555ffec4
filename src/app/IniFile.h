#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/IniDocument.h"

namespace kvartix {

// A settings file holds a few kilobytes; anything larger than this is not one.
inline constexpr std::uintmax_t kMaxIniFileSize = 16 * 1024 * 1024;

// What reading a settings file found.
struct IniRead {
    IniDocument Doc;     // the file's contents; empty when it is missing or was not read
    bool Found = false;  // something is at the path (a link followed to what it names)
    // Why what is there was not read, to follow the path in a sentence: "cannot be read
    // (Permission denied)", "is a folder", "is not a regular file", "is larger than 16 MB".
    // Empty when the file was read or is missing.
    std::string Problem;
};

// Only a regular file, or a link to one, of at most kMaxIniFileSize bytes is read; nothing
// else is even opened (a FIFO would wait for a writer, a device may act on an open).
IniRead ReadIniFile(const std::string& path);

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

// Writes the whole text to a temporary file beside the file and renames it over it, so the
// file is never left half written. A link, also one whose file does not exist yet, stays a
// link: the file it names is the one written. The new file keeps the old one's permissions,
// owner and group (a program run as root leaves a user's file the user's). Where the system
// does not let this user give the new file that owner and group (another user's file that
// this one may write, or a group this user is not in), the file is written over in place
// instead, as editors do. Only a regular file is replaced; a read-only one is refused like a
// read-only folder. nullopt when saved, else WriteRefusedMessage(path).
std::optional<std::string> SaveIniFile(const std::string& path, const IniDocument& doc,
                                       const IniSaveOptions& options = {});

}  // namespace kvartix
