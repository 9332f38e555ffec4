#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/EngineState.h"
#include "serial/LineSettings.h"

namespace kvartix {

struct CliOptions {
    LineSettings Settings;
    TestMode Mode = TestMode::Bert;
    int Seconds = 10;
    bool Json = false;
    bool Help = false;
    bool Version = false;
    bool ListPorts = false;
    bool Force = false;
    std::string Record;  // the CSV file of the run; "-" standard output; empty none
};

// Either options or the message naming the option that is wrong.
struct CliParse {
    std::optional<CliOptions> Options;
    std::string Error;
};

CliParse ParseCliOptions(const std::vector<std::string>& args);

std::string UsageLine();
std::string HelpText();
std::string VersionText();  // "kvartix-cli 1.08" and a line end

// "8-N-1" and the like.
std::string FrameText(const LineSettings& s);
const char* ModeName(TestMode mode);

}  // namespace kvartix
