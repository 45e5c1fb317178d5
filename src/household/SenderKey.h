#pragma once

#include "household/ValueKey.h"

// Which volume-like value a coalescing sender carries.
enum class SentValue {
    groupVolume, // a group's volume, to its coordinator
    roomVolume,  // one room's own volume
    bass,        // one room's bass level
    treble,      // one room's treble level
};

// One sender's value: its kind and the id of its group or room.
using SenderKey = ValueKey<SentValue>;
