#pragma once

#include <optional>
#include <string>

#include "app/Settings.h"
#include "serial/LineSettings.h"

namespace kvartix {

// The line a session starts with from the program's settings, or what is wrong with them.
struct LineSettingsResult {
    std::optional<LineSettings> Settings;
    std::string Error;  // the conversion message when there are no settings
};

// A bit rate that is not a whole number is the one error. The symbol is one character: a
// larger stored number gives its low byte, one that is no number the default $5A. A packet
// index outside the list gives 512.
LineSettingsResult LineSettingsFrom(const ProgramSettings& settings);

}  // namespace kvartix
