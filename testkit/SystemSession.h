#pragma once

#include "engine/TestSession.h"
#include "serial/SystemPortOpener.h"

namespace kvartix::testkit {

// A session on the machine's own ports with the real clock, showing on View and telling its
// messages to Box.
template <typename View, typename Box>
struct SystemSession {
    SystemSession() { CreateTransferEvents(events, factory, box); }

    SystemClock clock;
    View view;
    Box box;
    EventFactory factory;
    TransferEvents events;
    SystemPortOpener opener{clock};
    Engine engine{view, box, clock};
    TestSession session{engine, view, opener, box, events};
};

}  // namespace kvartix::testkit
