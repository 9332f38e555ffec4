#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/EngineState.h"
#include "serial/LineSettings.h"

namespace kvartix {

// How the ports under test are wired: each to itself through a plug, the first sending to the
// second one way, or two crossing a null-modem cable.
enum class Wiring { Plugs, OneWay, Cross };

inline constexpr std::size_t kMaxPorts = 32;

struct CliOptions {
    LineSettings Settings;  // its port the first of Ports
    std::vector<std::string> Ports;
    std::string RxPort;  // as given; the second of Ports once parsed
    Wiring Wired = Wiring::Plugs;
    TestMode Mode = TestMode::Bert;
    int Seconds = 10;
    bool Json = false;
    bool Help = false;
    bool Version = false;
    bool ListPorts = false;
    bool Force = false;
    std::string Record;  // the CSV file of the run, or a folder; "-" standard output; empty none

    // What the run reports on: one direction per plug, one or two across a cable.
    std::size_t Directions() const {
        return Wired == Wiring::Plugs ? Ports.size() : Wired == Wiring::Cross ? 2 : 1;
    }
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
