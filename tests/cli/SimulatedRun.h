#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/CliRun.h"
#include "serial/SystemPortOpener.h"
#include "support/ManualClock.h"

namespace kvartix::test {

struct RunSetup {
    PortOpener* Opener = nullptr;  // none: the system's
    int SignalAtWait = 0;          // the wait from which on a signal has come; 0: never
    int Signal = 0;
    std::size_t OutputClosesAt = 0;  // bytes standard output takes before its reader goes; 0: all
    // Ports the test serves itself, by name; the other names go to the opener.
    std::map<std::string, std::function<std::unique_ptr<CommPort>()>> Served = {};
};

// Standard output whose reader goes away after so many bytes: every later write fails.
class ClosingOutput final : public std::streambuf {
  public:
    ClosingOutput(std::streambuf& to, std::size_t limit) : m_to(to), m_left(limit) {}

  protected:
    int_type overflow(int_type c) override {
        if (m_left == 0 || traits_type::eq_int_type(c, traits_type::eof())) return traits_type::eof();
        --m_left;
        return m_to.sputc(traits_type::to_char_type(c));
    }

  private:
    std::streambuf& m_to;
    std::size_t m_left;
};

// Serves the test's own ports by name and hands every other name on.
struct ServingOpener final : PortOpener {
    ServingOpener(const RunSetup& setup, PortOpener& others) : Setup(setup), Others(others) {}
    std::unique_ptr<CommPort> Open(const std::string& path, bool overlapped,
                                   PortRefusal& why) override {
        const auto it = Setup.Served.find(path);
        return it != Setup.Served.end() ? it->second() : Others.Open(path, overlapped, why);
    }
    const RunSetup& Setup;
    PortOpener& Others;
};

// A run on the settable clock: the minutes of a real run take milliseconds.
struct SimulatedRun {
    explicit SimulatedRun(std::vector<std::string> args, RunSetup setup = {}) {
        const CliParse p = ParseCliOptions(args);
        EXPECT_TRUE(p.Options) << p.Error;
        clock.AdvanceMs(437);  // not on a whole second
        SystemPortOpener system(clock);
        const WaitUntil wait = [this, setup](std::int64_t us) {
            if (++waits >= setup.SignalAtWait && setup.SignalAtWait != 0) return setup.Signal;
            if (us > clock.NowUs()) clock.AdvanceUs(us - clock.NowUs());
            return 0;
        };
        std::ostream& stdOut = out;
        ClosingOutput closing(*out.rdbuf(), setup.OutputClosesAt);
        if (setup.OutputClosesAt) stdOut.rdbuf(&closing);
        ServingOpener opener(setup, setup.Opener ? *setup.Opener : system);
        status = RunCli(*p.Options, clock, wait, opener, stdOut, err);
        stdOut.rdbuf(out.rdbuf());
        stdOut.clear();
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(out.str());
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    int SecondLines() const {
        int n = 0;
        for (const auto& l : Lines()) n += l.find("  Received ") == 4;
        return n;
    }
    bool Shows(const std::string& text) const { return out.str().find(text) != std::string::npos; }

    ManualClock clock;
    std::ostringstream out, err;
    int waits = 0;
    int status = -1;
};

}  // namespace kvartix::test
