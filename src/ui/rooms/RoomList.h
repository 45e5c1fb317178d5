#pragma once

#include "household/SpeakerGroup.h"
#include "ui/rooms/RoomsEnvironment.h"

#include <QWidget>

#include <functional>

// The rooms of the household with membership, volume and sound controls for the active group,
// keyed by room id: rows survive reordering and updates in place. Its header row holds the
// room-preset menu of the list's group, made by `presetMenu` (the panel owns that menu).
class RoomList : public QWidget {
    Q_OBJECT
public:
    using PresetMenuFactory = std::function<QWidget*(const SpeakerGroup& group, QWidget* parent)>;

    RoomList(const SpeakerGroup& group, const RoomsEnvironment& environment, PresetMenuFactory presetMenu,
             QWidget* parent = nullptr);

    // The active group changed (another group, or new values of the same one).
    void setGroup(const SpeakerGroup& group);
    const SpeakerGroup& group() const { return group_; }

private:
    SpeakerGroup group_;
    RoomsEnvironment environment_;
    PresetMenuFactory presetMenu_;
};
