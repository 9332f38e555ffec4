#pragma once

#include <gtest/gtest.h>

#include <string>

#include "serial/posix/PosixCommPort.h"
#include "support/Recorders.h"
#include "testkit/Pty.h"
#include "testkit/SystemSession.h"

namespace kvartix::test {

// A test session on the machine's own ports, with the real clock.
struct SessionRig : testkit::SystemSession<RecordingView, RecordingBox> {
    PosixCommPort& Port() { return dynamic_cast<PosixCommPort&>(*session.Port()); }
};

// Runs a started BERT session whose far end echoes until `bytes` have come back. A
// pseudo-terminal has no bit rate, so a whole write is back within a millisecond or so:
// each cycle runs as soon as everything written has returned, which is what a 100 ms
// cycle gives a real line, without waiting out the rest of the 100 ms.
inline void RunEchoedBert(SessionRig& rig, std::int64_t bytes) {
    std::uint64_t written = 0;
    while (rig.engine.Counters().Received < bytes) {
        rig.session.Tick();
        ASSERT_TRUE(rig.session.Running());
        if (rig.engine.State().WritePending) written += rig.engine.State().WriteAmount;
        PosixCommPort::Traffic t;
        ASSERT_TRUE(Eventually([&] {
            t = rig.Port().TrafficSoFar();
            return t.Sent == written && t.Received == written;
        })) << "stuck after " << rig.engine.Counters().Received << " bytes: written " << written
            << ", handed over " << t.Sent << ", back " << t.Received;
    }
}

}  // namespace kvartix::test
