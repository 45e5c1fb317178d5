#pragma once

#include "ui/rooms/RoomsEnvironment.h"

class LinkOpener;
class SettingsStore;

// What the panel's views take from their surroundings. Every pointer outlives the views it is
// given to. `health` and `support` may be null (render mode); `links` null means the desktop's
// own opener; `settings` may be null where no footer is shown.
struct PanelEnvironment {
    Household* household = nullptr;
    KeyboardFocus* focus = nullptr;
    PanelPresence* presence = nullptr;
    HealthCheck* health = nullptr;
    Support* support = nullptr;
    FooterSettings* settings = nullptr;
    SettingsStore* store = nullptr; // the "onboarded" switch
    LinkOpener* links = nullptr;

    RoomsEnvironment rooms() const {
        return RoomsEnvironment{household, focus, presence, health, support, settings};
    }
};
