#pragma once

#include "SpeakerSimulator.h"

namespace sim {

// Next and Previous on a coordinator, as a real speaker answers them: a step through the
// queue (a new track from its start), "711" past the end of the queue and "701" for a source
// without tracks to step through.
void installTransportActions(SpeakerSimulator& simulator);

} // namespace sim
