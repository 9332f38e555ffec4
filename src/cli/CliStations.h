#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliReport.h"
#include "engine/SessionController.h"

namespace kvartix {

// One port's session in a run, with the report that prints its lines.
struct CliStation {
    CliStation(const Clock& clock, PortOpener& opener, std::ostream& out, std::ostream& err,
               bool printSeconds, std::string label)
        : Report(Session, out, err, printSeconds, std::move(label)),
          Session(Report, Report, opener, clock) {}
    CliReport Report;
    SessionController Session;
    std::string Port;
    bool Checks = true;  // what it receives is one direction of the run; false: it only sends
    bool Started = false;
};

// The sessions of one run, one per port, wired as the options say: each port to itself
// through a plug (each session stands alone), or one way or crossing a cable (the two stand
// and fall together). All run on the same cycle.
class CliStations {
  public:
    CliStations(const CliOptions& options, const Clock& clock, PortOpener& opener,
                std::ostream& out, std::ostream& err);

    bool Usable() const;
    CliStation& First() { return *m_stations.front(); }
    const std::vector<std::unique_ptr<CliStation>>& All() const { return m_stations; }

    // Every checking session records into its own file in this folder.
    void RecordIn(const std::string& folder);
    // Opens the ports; false when no session runs (each refusal told once). A port that
    // cannot be opened ends its own session; across a cable, the run.
    bool Start();
    // One cycle of every running session; false once none runs. A lost port ends its own
    // session; across a cable, both.
    bool Tick();
    void EndTimedRun(std::int64_t atUs);
    void BeginDrains();
    bool Draining() const;
    void Finish(RunEnding how, int signal);
    bool RecordFailed() const;

  private:
    const CliOptions& m_options;
    std::vector<std::unique_ptr<CliStation>> m_stations;
};

}  // namespace kvartix
