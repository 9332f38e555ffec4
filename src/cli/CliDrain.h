#pragma once

#include "cli/CliCycles.h"
#include "cli/CliSummary.h"
#include "engine/Engine.h"

namespace kvartix {

// Characters sent against characters received at the end of a BERT, which runs over a
// loop: the pattern repeats every packet, so whole packets lost pass the checker unseen.
// No new data is written and what the port has not yet put on the line is thrown away, so
// what had left must come back: the cycles go on reading until it has, or until nothing
// arrives for 500 ms or three characters' time; what is then missing is lost. A port that
// cannot throw its output away is first let drain. Characters still arriving when all that
// left would have been through at the line's rate, plus a second (at most 10 s), leave the
// run not judged. False when a signal came or the port was lost.
bool DrainAndCompare(CliCycles& cycles, Engine& engine, LossCheck& loss);

}  // namespace kvartix
