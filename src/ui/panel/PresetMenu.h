#pragma once

#include "household/SpeakerGroup.h"

#include <QWidget>

// The room-preset menu in the room list's header: save, apply and delete presets of rooms.
// Not built yet: this stand-in takes no space and draws nothing.
class PresetMenu : public QWidget {
    Q_OBJECT
public:
    explicit PresetMenu(const SpeakerGroup& group, QWidget* parent = nullptr);
};
