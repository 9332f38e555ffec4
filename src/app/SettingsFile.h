#pragma once

#include <optional>
#include <string>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsPath.h"

namespace kvartix {

// What the start takes from the settings file, read once.
struct SettingsAtStart {
    ProgramSettings Settings;  // every default where the file is missing or was not read
    bool Plus = false;         // no start-up window
    // Empty, or the message when the file is there but was not read (a folder, a FIFO, a
    // device, a file this user may not read, one larger than kMaxIniFileSize): the run has
    // the defaults and leaves the file alone.
    std::string Problem;
};
SettingsAtStart ReadSettingsAtStart(const std::string& path);

// The settings alone, as the windows load them at start.
ProgramSettings LoadSettingsFile(const std::string& path);

// The close step's save. The file is read again first, so that what another copy or an
// editor put into "Morvi" or other sections meanwhile stays; a file that cannot be read then
// is not replaced. nullopt when saved, or when the location says to leave the file alone;
// else the message for the default error report. On any failure the file is as it was.
std::optional<std::string> SaveSettingsFile(const SettingsLocation& where,
                                            const ProgramSettings& settings,
                                            const RenameStep& rename = {});

}  // namespace kvartix
