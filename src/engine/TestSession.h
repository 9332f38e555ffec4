#pragma once

#include <memory>
#include <string>

#include "engine/Engine.h"
#include "engine/PortMessages.h"
#include "serial/CommPort.h"
#include "serial/PortOpening.h"

namespace kvartix {

// Starts and stops test sessions on one port at a time and runs their engine cycles.
class TestSession {
public:
    TestSession(Engine& engine, EngineView& view, PortOpener& opener, ErrorBoxSink& box,
                TransferEvents& events)
        : m_engine(engine), m_view(view), m_opener(opener), m_box(box), m_events(events) {}
    ~TestSession() { StopSession(); }

    // Opens and configures the port and arms the engine's first tick; false when a step
    // failed (its message shown, no port left open).
    bool Start(TestMode mode, const LineSettings& settings);
    // Safe to call when no session runs.
    void StopSession();
    // One engine cycle; a port that went away is reported once and ends the session.
    void Tick();

    bool Running() const { return m_running; }
    CommPort* Port() const { return m_opened.Port.get(); }
    const std::string& DevicePath() const { return m_opened.DevicePath; }

private:
    Engine& m_engine;
    EngineView& m_view;
    PortOpener& m_opener;
    ErrorBoxSink& m_box;
    TransferEvents& m_events;
    OpenedPort m_opened;
    bool m_running = false;
};

}  // namespace kvartix
