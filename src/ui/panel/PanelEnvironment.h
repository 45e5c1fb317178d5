#pragma once

#include "ui/rooms/RoomsEnvironment.h"

class LinkOpener;
class SettingsStore;

// What the panel's views take from their surroundings: what the room views take, and the
// panel's own. Every pointer outlives the views it is given to. `health` and `support` may be
// null (render mode); `links` null means the desktop's own opener; `settings` may be null where
// no footer is shown.
struct PanelEnvironment : RoomsEnvironment {
    SettingsStore* store = nullptr; // the "onboarded" switch
    LinkOpener* links = nullptr;

    const RoomsEnvironment& rooms() const { return *this; }
};
