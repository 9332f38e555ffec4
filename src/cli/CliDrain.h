#pragma once

#include "cli/CliCycles.h"
#include "cli/CliSummary.h"
#include "engine/Engine.h"

namespace kvartix {

// Characters sent against characters received at the end of a BERT, which runs over a
// loop: the pattern repeats every packet, so whole packets lost pass the checker unseen.
// No new data is written; the cycles go on reading until the port has settled (the last
// write complete, the output not held by flow control and nothing arriving for 500 ms or
// three characters' time) or until the largest write and a driver's buffer of 4096 would
// have been through at the line's rate, plus a second, at most 10 s in all; sooner when what
// the port still queues could not be through by then. On a settled loop nothing can still
// hold what was sent: what has not come back is lost. A port that has not settled is not
// judged. False when a signal came or the port was lost.
bool DrainAndCompare(CliCycles& cycles, Engine& engine, LossCheck& loss);

}  // namespace kvartix
