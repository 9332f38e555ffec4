#pragma once

#include "engine/Engine.h"

namespace kvartix {

// Counts a test sets directly, where producing them on a line would take a long run.
struct EngineProbe {
    static SessionCounters& Counters(Engine& e) { return e.m_counters; }
    static DriverErrorCounters& DriverErrors(Engine& e) { return e.m_driverErrors; }
    static BertChecker& Checker(Engine& e) { return e.m_checker; }
    static EngineState& State(Engine& e) { return e.m_state; }
};

}  // namespace kvartix
