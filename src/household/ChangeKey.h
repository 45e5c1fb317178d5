#pragma once

#include "household/ValueKey.h"

// Which value of a group or room a local change or an event touched. Each value is protected
// under a key of its own, so that a change of one (a volume) never holds back another (the
// transport state) of the same group.
enum class ChangedValue {
    state,      // the group's transport state
    volume,     // the group volume
    mute,       // the group mute
    position,   // the play position and its moment
    tvSound,    // night mode and speech enhancement
    sleepTimer, // the sleep-timer remainder and its moment
    roomVolume, // one room's own volume
    roomMute,   // one room's own mute
};

// One protected value: its kind and the id of its group or room.
using ChangeKey = ValueKey<ChangedValue>;
