#include "ui/rooms/RoomList.h"

// Not built yet: draws nothing and offers nothing.
RoomList::RoomList(const SpeakerGroup& group, const RoomsEnvironment& environment,
                   PresetMenuFactory presetMenu, QWidget* parent)
    : QWidget(parent), group_(group), environment_(environment), presetMenu_(std::move(presetMenu)) {}

void RoomList::setGroup(const SpeakerGroup& group) {
    group_ = group;
}
