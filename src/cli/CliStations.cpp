#include "cli/CliStations.h"

#include <algorithm>

namespace kvartix {
namespace {

std::string DirectionLabel(const CliOptions& o, std::size_t station) {
    if (o.Directions() == 1) return {};
    if (o.Wired == Wiring::Plugs) return o.Ports[station];
    return o.Ports[1 - station] + "->" + o.Ports[station];
}

}  // namespace

CliStations::CliStations(const CliOptions& o, const Clock& clock, PortOpener& opener,
                         std::ostream& out, std::ostream& err)
    : m_options(o) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < o.Ports.size(); ++i)
        width = std::max(width, DirectionLabel(o, i).size());
    for (std::size_t i = 0; i < o.Ports.size(); ++i) {
        // One way, the first port only sends.
        const bool checks = o.Wired != Wiring::OneWay || i == 1;
        std::string label = DirectionLabel(o, i);
        if (!label.empty()) label.resize(width, ' ');
        auto station = std::make_unique<CliStation>(clock, opener, out, err,
                                                    checks && !o.Json && o.Record != "-", label);
        station->Port = o.Ports[i];
        station->Checks = checks;
        m_stations.push_back(std::move(station));
    }
    if (o.Wired != Wiring::Plugs) {
        m_stations[1]->Session.ChecksStreamOf(&m_stations[0]->Session);
        if (o.Wired == Wiring::Cross) m_stations[0]->Session.ChecksStreamOf(&m_stations[1]->Session);
    }
}

bool CliStations::Usable() const {
    return std::all_of(m_stations.begin(), m_stations.end(),
                       [](const auto& s) { return s->Session.Usable(); });
}

void CliStations::RecordIn(const std::string& folder) {
    for (auto& s : m_stations)
        if (s->Checks) s->Session.RecordIn(folder);
}

bool CliStations::Start() {
    for (auto& s : m_stations) {
        LineSettings settings = m_options.Settings;
        settings.Port = s->Port;
        s->Started = s->Session.Start(m_options.Mode, settings);
        // One way, the checking end sends nothing of its own.
        if (s->Started && s->Checks && m_options.Wired == Wiring::OneWay)
            s->Session.Core().SetHoldWrites(true);
    }
    const auto started = [](const auto& s) { return s->Started; };
    if (m_options.Wired != Wiring::Plugs &&
        !std::all_of(m_stations.begin(), m_stations.end(), started)) {
        for (auto& s : m_stations) s->Session.Finish(RunEnding::Stopped);
        return false;
    }
    return std::any_of(m_stations.begin(), m_stations.end(), started);
}

bool CliStations::Tick() {
    // Across a cable the second port checks A->B: its line comes first, as its summary does.
    if (m_options.Wired == Wiring::Cross)
        for (auto it = m_stations.rbegin(); it != m_stations.rend(); ++it) (*it)->Session.Tick();
    else
        for (auto& s : m_stations) s->Session.Tick();
    const auto running = [](const auto& s) { return s->Session.Running(); };
    if (m_options.Wired != Wiring::Plugs && !std::all_of(m_stations.begin(), m_stations.end(), running))
        for (auto& s : m_stations) s->Session.Finish(RunEnding::PortLost);
    return std::any_of(m_stations.begin(), m_stations.end(), running);
}

void CliStations::EndTimedRun(std::int64_t atUs) {
    for (auto& s : m_stations)
        if (s->Session.Running()) s->Session.EndTimedRun(atUs);
}

void CliStations::BeginDrains() {
    for (auto& s : m_stations)
        if (s->Checks && s->Session.Running()) s->Session.BeginDrain();
}

bool CliStations::Draining() const {
    return std::any_of(m_stations.begin(), m_stations.end(),
                       [](const auto& s) { return s->Session.Draining(); });
}

void CliStations::Finish(RunEnding how, int signal) {
    for (auto& s : m_stations) s->Session.Finish(how, signal);
}

bool CliStations::RecordFailed() const {
    return std::any_of(m_stations.begin(), m_stations.end(),
                       [](const auto& s) { return s->Session.RecordFailed(); });
}

}  // namespace kvartix
