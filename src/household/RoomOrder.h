#pragma once

#include "household/SpeakerGroup.h"

#include <QList>
#include <QStringList>

// The household's order of rooms, by id. Rooms first seen join it by name, after every room
// already known; a room keeps its place for good, even while it is away. Rooms, and groups by
// their best placed room, are shown in this order; rooms it does not hold come last.
class RoomOrder {
public:
    RoomOrder() = default;
    explicit RoomOrder(QStringList ids) : ids_(std::move(ids)) {}

    const QStringList& ids() const { return ids_; }

    // Adds the rooms of `groups` not yet known, by name (case-insensitive, in the locale's
    // collation), each once. True when any was added.
    bool learn(const QList<SpeakerGroup>& groups);
    void sortRooms(QList<Room>& rooms) const;
    QList<SpeakerGroup> sorted(QList<SpeakerGroup> groups) const;

private:
    qsizetype rank(const QString& roomID) const;

    QStringList ids_;
};
