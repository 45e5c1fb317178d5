#pragma once

#include "core/Clock.h"
#include "household/ChangeLedger.h"
#include "household/GroupChanges.h"
#include "household/RoomOrder.h"
#include "household/SpeakerGroup.h"

#include <QList>

#include <functional>
#include <optional>
#include <utility>

// The groups the household shows, in their published order, and how to find a group or room
// in them. Where several groups share an id, the first one counts. Changes are made on a copy
// and published whole (`replace`), except for the values events set in place (`at`).
class PublishedGroups {
public:
    const QList<SpeakerGroup>& list() const { return list_; }
    bool isEmpty() const { return list_.isEmpty(); }

    // Puts `groups` in place; what changed against the list before.
    GroupChanges replace(QList<SpeakerGroup> groups);
    // The group at `index`, changed in place.
    SpeakerGroup& at(qsizetype index) { return list_[index]; }

    // The index of the first group with this id, or led by this coordinator; -1 when none.
    qsizetype indexOf(const QString& id) const;
    qsizetype indexLedBy(const QString& coordinator) const;
    // The group led by this coordinator, as a copy.
    std::optional<SpeakerGroup> ledBy(const QString& coordinator) const;
    // Where the room of that id stands: its group's and its own index, or nothing.
    std::optional<std::pair<qsizetype, qsizetype>> roomIndex(const QString& roomID) const;

    // A copy of the list with the group of this id changed through `edit`; nothing when no
    // group has the id.
    std::optional<QList<SpeakerGroup>> with(const QString& id,
                                            const std::function<void(SpeakerGroup&)>& edit) const;

    // A copy of the list with the room moved into the group of `targetID` (its rooms then in
    // `order`), or, for no target or one not shown, into a group of its own ("solo-" and the
    // room's id) that only this household knows until the speakers report theirs. A group left
    // without rooms goes. Nothing when no group holds the room.
    std::optional<QList<SpeakerGroup>> withRoomMoved(const QString& roomID,
                                                     const std::optional<QString>& targetID,
                                                     const RoomOrder& order) const;

    // A group read from the topology, starting from what is shown of the group of the same id
    // (its track cleared), so that a state read that fails keeps the last known value rather
    // than a default. Rooms keep their shown volume and mute.
    SpeakerGroup seeded(const SpeakerGroup& fresh) const;
    // `fresh` with every held value (see ChangeLedger) of the published group of the same id;
    // a group not shown yet is taken as read.
    QList<SpeakerGroup> merged(const QList<SpeakerGroup>& fresh, const ChangeLedger& ledger,
                               Clock::Instant cutoff, std::optional<quint64> changesBefore) const;

    // A track without title, artist or art shows none rather than the previous track's.
    static void clearTrack(SpeakerGroup& group);

private:
    QList<SpeakerGroup> list_;
};
