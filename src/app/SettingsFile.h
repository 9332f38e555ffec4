#pragma once

#include <optional>
#include <string>

#include "app/IniFile.h"
#include "app/Settings.h"
#include "app/SettingsPath.h"

namespace kvartix {

// The settings as the windows load them at start; a missing file gives every default.
ProgramSettings LoadSettingsFile(const std::string& path);

// The close step's save. The file is read again first, so that what another copy or an
// editor put into "Morvi" or other sections meanwhile stays. nullopt when saved, else the
// message for the default error report; on any failure the file is as it was.
std::optional<std::string> SaveSettingsFile(const SettingsLocation& where,
                                            const ProgramSettings& settings,
                                            const RenameStep& rename = {});

}  // namespace kvartix
