#pragma once

#include "engine/TestSession.h"
#include "serial/SystemPortOpener.h"
#include "support/Recorders.h"

namespace kvartix::test {

// A test session whose ports are the machine's, LOOP included, on the given clock.
struct LoopRun {
    explicit LoopRun(const Clock& clock) : opener(clock), engine(view, box, clock) {
        CreateTransferEvents(events, factory, box);
    }
    // Cycles of 100 ms on a settable clock.
    template <typename SettableClock>
    void Cycles(SettableClock& clock, int n) {
        for (int i = 0; i < n; ++i) {
            session.Tick();
            clock.AdvanceMs(100);
        }
    }
    RecordingView view;
    RecordingBox box;
    EventFactory factory;
    TransferEvents events;
    SystemPortOpener opener;
    Engine engine;
    TestSession session{engine, view, opener, box, events};
};

}  // namespace kvartix::test
