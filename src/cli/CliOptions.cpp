#include "cli/CliOptions.h"

#include <algorithm>
#include <array>
#include <functional>

#include "app/IniFile.h"
#include "app/IntegerText.h"
#include "app/LinePattern.h"
#include "app/Settings.h"
#include "app/Version.h"
#include "cli/CliPlatform.h"
#include "engine/Prbs.h"
#include "engine/ProgramLine.h"
#include "serial/loop/CablePath.h"

namespace kvartix {
namespace {

constexpr std::array<const char*, 2> kModeNames{"bert", "loopback"};

struct Option {
    const char* Name;
    // What the usage line shows after the name; empty for a flag.
    std::string Value;
    // Empty when the value was taken; otherwise what is wrong with it.
    std::function<std::string(CliOptions&, const std::string&)> Apply;
    // Takes two values, handed over joined by a NUL (which no argument can hold).
    bool Pair = false;
};

std::string Integer(const std::string& value, int low, int high, int& out) {
    const auto v = ParseIntegerText(value);
    if (!v) return NotAnIntegerMessage(value);
    if (*v < low || *v > high)
        return "'" + value + "' is outside " + std::to_string(low) + ".." + std::to_string(high);
    out = *v;
    return {};
}

template <std::size_t N>
std::string Choice(const std::string& value, const std::array<const char*, N>& names, int& out) {
    for (std::size_t i = 0; i < N; ++i)
        if (value == names[i]) {
            out = static_cast<int>(i);
            return {};
        }
    return "'" + value + "' is not one of " + ChoiceList(names);
}

Option Flag(const char* name, bool CliOptions::*field) {
    return {name, {}, [field](CliOptions& o, const std::string&) {
                o.*field = true;
                return std::string();
            }};
}

Option LineFlag(const char* name, bool LineSettings::*field) {
    return {name, {}, [field](CliOptions& o, const std::string&) {
                o.Settings.*field = true;
                return std::string();
            }};
}

// A setting of two named states, the second of which turns it on.
Option LineSwitch(const char* name, const char* usage, const char* off, const char* on,
                  bool LineSettings::*field) {
    return {name, usage, [=](CliOptions& o, const std::string& v) {
                int chosen = 0;
                auto e = Choice(v, std::array<const char*, 2>{off, on}, chosen);
                o.Settings.*field = chosen == 1;
                return e;
            }};
}

// The line, port and packet the program would start with from this settings file.
// A file that is missing or was not read (a folder, a FIFO, a device, one this user may not
// read or too large) is an error: the run would not be the one the file describes.
std::string ApplySettingsFile(CliOptions& o, const std::string& path) {
    const IniRead read = ReadIniFile(path);
    if (!read.Found) return "'" + path + "' does not exist";
    if (!read.Problem.empty()) return "'" + path + "' " + read.Problem;
    ProgramSettings s;
    s.Load(read.Doc);
    const LineSettingsResult line = LineSettingsFrom(s);
    if (!line.Settings) return "'" + path + "': " + line.Error;
    const std::string port = o.Settings.Port;
    o.Settings = *line.Settings;
    if (s.Port.empty()) o.Settings.Port = port;
    return {};
}

// "packets|prbs9|...|alt".
std::string PatternChoices() {
    std::string text = PatternName(LinePattern::Packets);
    for (const LinePattern p : kTestPatterns) text += std::string("|") + PatternName(p);
    return text;
}

// A pattern the run could not send, told before anything opens.
std::string PatternProblem(const LineSettings& s, TestMode mode) {
    if (s.Pattern == LinePattern::Packets) return {};
    if (mode != TestMode::Bert)
        return "--pattern: a loopback echoes what comes; only a BERT sends a pattern";
    if (auto e = PatternFlowProblem(s.Pattern, s.XonXoff); !e.empty()) return "--pattern: " + e;
    return {};
}

constexpr const char* kSettingsOption = "--settings";

const std::vector<Option>& Options() {
    static const std::vector<Option> options{
        {kSettingsOption, "FILE", ApplySettingsFile},
        {"--port", "NAME",
         [](CliOptions& o, const std::string& v) {
             if (v.empty()) return std::string("the port name is empty");
             o.Ports.push_back(v);
             return std::string();
         }},
        {"--rx-port", "NAME",
         [](CliOptions& o, const std::string& v) {
             if (v.empty()) return std::string("the port name is empty");
             if (o.Wired != Wiring::Plugs) return std::string("given twice or with --cross");
             o.Wired = Wiring::OneWay;
             o.RxPort = v;
             return std::string();
         }},
        {"--cross", "A B",
         [](CliOptions& o, const std::string& v) {
             const std::string a = v.substr(0, v.find('\0')), b = v.substr(a.size() + 1);
             if (a.empty() || b.empty()) return std::string("a port name is empty");
             if (o.Wired != Wiring::Plugs) return std::string("given twice or with --rx-port");
             o.Wired = Wiring::Cross;
             o.Ports.insert(o.Ports.end(), {a, b});
             return std::string();
         },
         true},
        {"--baud", "N",
         [](CliOptions& o, const std::string& v) {
             return Integer(v, 1, 0x7FFFFFFF, o.Settings.BitRate);
         }},
        {"--data-bits", "5..8",
         [](CliOptions& o, const std::string& v) { return Integer(v, 5, 8, o.Settings.DataBits); }},
        {"--stop-bits", ChoiceList(kStopBitNames),
         [](CliOptions& o, const std::string& v) {
             return Choice(v, kStopBitNames, o.Settings.StopBits);
         }},
        {"--parity", ChoiceList(kParityNames),
         [](CliOptions& o, const std::string& v) {
             return Choice(v, kParityNames, o.Settings.Parity);
         }},
        LineFlag("--rts-cts", &LineSettings::RtsCts),
        LineFlag("--xon-xoff", &LineSettings::XonXoff),
        LineSwitch("--dtr", "high|low", "low", "high", &LineSettings::DTREnable),
        LineSwitch("--dsr", "flow|ignored", "ignored", "flow", &LineSettings::DSREnable),
        LineFlag("--random", &LineSettings::RandomFlow),
        {"--packet", "N",
         [](CliOptions& o, const std::string& v) {
             const auto n = ParseIntegerText(v);
             if (!n) return NotAnIntegerMessage(v);
             if (std::find(kPacketSizeEntries.begin(), kPacketSizeEntries.end(), *n) ==
                 kPacketSizeEntries.end())
                 return "'" + v + "' is not one of " + ChoiceList(kPacketSizeEntries);
             o.Settings.PacketSize = *n;
             return std::string();
         }},
        {"--symbol", "N",
         [](CliOptions& o, const std::string& v) {
             int symbol = 0;
             auto e = Integer(v, 0, 255, symbol);
             o.Settings.Symbol = static_cast<std::uint8_t>(symbol);
             return e;
         }},
        {"--pattern", "NAME",
         [](CliOptions& o, const std::string& v) {
             const auto p = PatternNamed(v);
             if (!p) return "'" + v + "' is not one of " + PatternChoices();
             o.Settings.Pattern = *p;
             return std::string();
         }},
        {"--mode", ChoiceList(kModeNames),
         [](CliOptions& o, const std::string& v) {
             int mode = 0;
             auto e = Choice(v, kModeNames, mode);
             o.Mode = mode == 0 ? TestMode::Bert : TestMode::Loopback;
             return e;
         }},
        {"--seconds", "N",
         [](CliOptions& o, const std::string& v) { return Integer(v, 1, 0x7FFFFFFF, o.Seconds); }},
        Flag("--json", &CliOptions::Json),
        {"--record", "FILE",
         [](CliOptions& o, const std::string& v) {
             if (v.empty()) return std::string("the file name is empty");
             o.Record = v;
             return std::string();
         }},
        Flag("--list-ports", &CliOptions::ListPorts),
        Flag("--force", &CliOptions::Force),
        Flag("--help", &CliOptions::Help),
        Flag("--version", &CliOptions::Version),
    };
    return options;
}

// The ports given, checked against one another; the settings file's port stands for a missing
// --port.
std::string WiringProblem(CliOptions& o) {
    if (o.Wired == Wiring::OneWay) {
        if (o.Ports.size() > 1) return "--rx-port: checks what one --port sends";
        o.Ports = {o.Ports.empty() ? o.Settings.Port : o.Ports.front(), o.RxPort};
    }
    if (o.Wired == Wiring::Cross && o.Ports.size() != 2) return "--cross: not with --port";
    if (o.Ports.empty()) o.Ports.push_back(o.Settings.Port);
    if (o.Ports.size() > kMaxPorts)
        return "--port: at most " + std::to_string(kMaxPorts) + " ports at once";
    if (o.Wired != Wiring::Plugs && o.Mode == TestMode::Loopback)
        return "--mode loopback: echoes on its own port, not across --rx-port or --cross";
    if (o.Record == "-" && o.Directions() > 1)
        return "--record -: one port only; several ports record into a folder";
    o.Settings.Port = o.Ports.front();
    return {};
}

}  // namespace

CliParse ParseCliOptions(const std::vector<std::string>& args) {
    struct Given {
        const Option* Opt;
        std::string Name;
        std::string Value;
    };
    std::vector<Given> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto& table = Options();
        const auto it = std::find_if(table.begin(), table.end(),
                                     [&](const Option& opt) { return name == opt.Name; });
        if (it == table.end()) return {std::nullopt, "unknown option '" + args[i] + "'"};
        const bool takesValue = !it->Value.empty();
        if (takesValue && !value) {
            if (i + 1 == args.size()) return {std::nullopt, name + ": a value is missing"};
            value = args[++i];
        }
        if (!takesValue && value) return {std::nullopt, name + ": takes no value"};
        if (it->Pair) {
            if (i + 1 == args.size()) return {std::nullopt, name + ": two values are needed"};
            *value += '\0' + args[++i];
        }
        given.push_back({&*it, name, value.value_or("")});
    }
    // The settings file first, so that the options given beside it win.
    std::stable_partition(given.begin(), given.end(),
                          [](const Given& g) { return g.Name == kSettingsOption; });
    CliOptions o;
    for (const auto& g : given)
        if (auto e = g.Opt->Apply(o, g.Value); !e.empty()) return {std::nullopt, g.Name + ": " + e};
    if (auto e = PatternProblem(o.Settings, o.Mode); !e.empty()) return {std::nullopt, e};
    if (auto e = WiringProblem(o); !e.empty())
        return {std::nullopt, e};
    // A built-in plug's name or options are wrong before the port is opened, not at the open.
    for (const auto& port : o.Ports)
        if (auto e = PlugPathProblem(port); !e.empty())
            return {std::nullopt, "port '" + port + "': " + e};
    return {o, {}};
}

std::string UsageLine() {
    // Each option in brackets, lines filled up to 81 columns (the usage line's width since its
    // first version) under the program's name.
    constexpr std::size_t kWidth = 81;
    const std::string lead = "usage: kvartix-cli ";
    std::string text = lead;
    std::size_t lineStart = 0;
    bool first = true;
    for (const Option& opt : Options()) {
        const std::string item =
            "[" + std::string(opt.Name) + (opt.Value.empty() ? "" : " " + opt.Value) + "]";
        if (!first && text.size() - lineStart + 1 + item.size() > kWidth) {
            lineStart = text.size() + 1;
            text += "\n" + std::string(lead.size(), ' ');
        } else if (!first) {
            text += ' ';
        }
        text += item;
        first = false;
    }
    return text;
}

std::string HelpText() {
    return UsageLine() + R"(

Runs a bit-error-rate test (BERT) on a serial port without a window: a repeating packet of
pseudo-random characters, each packet beginning with the start code 18, 7, is sent to the
port and everything that comes back is compared with what was sent. Wire the port's TX to
its RX (a loopback plug) or to equipment that echoes, such as a modem in loopback.

Port and line:
  --settings FILE    take the port, line settings and packet from a KVARTIX settings file
                     (read only, never written; its keys and defaults as the program's; an
                     empty "Port" keeps LOOP); the options below given with it win
)" + PortNameHelp() + R"(                     LOOP:corrupt=P,drop=P,insert=P,seed=N injects faults per character.
                     CABLE:A and CABLE:B (CABLE2:A .. CABLE16:B) are the ends of a built-in
                     null-modem cable; CABLE:A:corrupt=P,... faults what that end receives.
                     Given up to 32 times, each port runs its own test through its own
                     plug, all at once: a line a second per port and a summary table.
  --rx-port NAME     one way: the test is sent on --port and checked on NAME (a cable, a
                     converter pair, a radio link)
  --cross A B        two tests crossing a null-modem cable: each port sends its own stream
                     and checks the other's; flow control acts across the cable
  --baud N           bit rate in bit/s (default 115200)
  --data-bits N      5, 6, 7 or 8 (default 8)
  --stop-bits S      1, 1.5 or 2 (default 1; 1.5 only with 5 data bits, 2 not with 5)
  --parity P         none, odd, even, mark or space (default none)
  --rts-cts          hardware flow control: send only while CTS is on; RTS follows the
                     receive buffer
  --xon-xoff         software flow control with Xon (17) and Xoff (19); an Xon is sent first
  --dtr high|low     DTR high while the test runs (default) or always low
  --dsr flow|ignored send only while DSR is on, or ignore DSR (default)
  --random           random data speed: irregular amounts read and written each 100 ms, so
                     that flow control has to work (default: maximum data speed)

Test:
  --packet N         packet size: 1, 4, 8, 16, 32, 64, 128, 256, 512, 1024 or 2048
                     (default 512). Size 1 sends one fixed symbol continuously.
  --symbol N         the fixed symbol for packet size 1, decimal or $hex (default $5A)
  --pattern NAME     what the BERT sends: packets (default), or a standard test pattern a
                     hardware tester can check: prbs9, prbs11, prbs15, prbs20, prbs20-qrss,
                     prbs23, prbs31 (ITU-T O.150), zeros, ones or alt (0x55). The checker
                     finds the pattern in what comes back, with no start code, and counts
                     bit errors, bits checked, the BER (or the bound an error-free run
                     proves) and the G.821 seconds. Not with --xon-xoff: the pattern holds
                     the flow characters.
  --mode M           bert (default) or loopback: every character received is sent straight
                     back, the first read of the run excepted; the lines then show what was
                     received and echoed, without error counts
  --seconds N        how long to run (default 10)
  --json             print only the summary, as one JSON object
  --record FILE      write the run to FILE as CSV: a header line, a row at each second's
                     update and a last row at the stop equal to the summary, each row
                     flushed as written; FILE is created or emptied only once the port has
                     opened, and must be a regular file (a FIFO, socket or device is
                     refused). With "-" the rows go to standard output in place of the
                     second lines, and the summary to standard error. With several ports
                     FILE is a folder: a file per checking port, named by port and start
                     time (port_YYYYMMDDThhmmssZ.csv, -2 and on rather than overwriting).
)" + PortListHelp() + R"(  --force            start even on the system console or a port a getty holds (refused
                     otherwise: a test there floods the machine's log or its login)
  --version          print the program's version and exit

Each second one line shows what the program's main window shows: characters received,
symbols and bits per second, errored symbols, the error coefficient (errors / received),
the elapsed time, the driver's error counts (parity, overrun, framing, other), the packet
events (invalid symbol, lost symbol, lost synchronisation) and the line lamps (CTS, DSR,
DCD, XR = transmission held by a received Xoff, XS = Xoff sent). A summary follows, with the
characters sent, the share of the line's capacity that was used and the number of errored
seconds. Across a cable each direction has its lines (led by "A->B") and its summary, the
characters sent being those of the sending port; with --json an array, one object a
direction with "tx_port" beside "port". Several ports print an array too; the exit status
is the worst of their runs.

At the end of a BERT nothing more is written and reading goes on until the port has settled
(the last write through, nothing arriving for 0.5 s; at most 10 s): characters sent that
never came back are lost, which the checker cannot see when whole packets go. A port that
does not settle in time is not judged.

SIGINT, SIGTERM and SIGHUP end the run at its next step: the port is closed as at the end,
the summary printed and marked as interrupted. A second signal ends the program at once.

Exit status:
  0      no errors (a loopback: the driver lost no data)
  1      a BERT: errors counted, no data received, never synchronised, characters lost or
         ended held by Xoff;
         a loopback: data lost (a receive overrun or buffer overflow)
  2      the port could not be opened or configured, or was lost during the test (the
         reason on standard error)
  3      bad options, a record file that is not a regular file or cannot be written, or a
         start on the console or a getty's port without --force
  4      the record or standard output could not be written (told on standard error; a
         reader that closed standard output ends the run as a stop does)
  128+N  stopped by signal N (130 SIGINT, 143 SIGTERM, 129 SIGHUP)
)";
}

std::string VersionText() {
    return std::string("kvartix-cli ") + kProgramVersion + "\n";
}

std::string FrameText(const LineSettings& s) {
    return std::to_string(s.DataBits) + "-" + kParityLetters[static_cast<std::size_t>(s.Parity)] +
           "-" + kStopBitNames[static_cast<std::size_t>(s.StopBits)];
}

const char* ModeName(TestMode mode) {
    // In the order of TestMode.
    constexpr const char* kModeNames[] = {"bert", "loopback", "terminal"};
    return kModeNames[static_cast<int>(mode)];
}

}  // namespace kvartix
