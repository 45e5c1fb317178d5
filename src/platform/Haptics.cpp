#include "platform/Haptics.h"

namespace {
int ticks = 0; // main thread only, like the controls that tick
}

namespace Haptics {

void alignment() {
    ++ticks;
}

int alignments() {
    return ticks;
}

} // namespace Haptics
