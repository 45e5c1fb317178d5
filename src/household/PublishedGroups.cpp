#include "household/PublishedGroups.h"

#include <QHash>

#include <algorithm>

GroupChanges PublishedGroups::replace(QList<SpeakerGroup> groups) {
    const GroupChanges changes = GroupChanges::between(list_, groups);
    list_ = std::move(groups);
    return changes;
}

qsizetype PublishedGroups::indexOf(const QString& id) const {
    for (qsizetype i = 0; i < list_.size(); ++i)
        if (list_.at(i).id == id)
            return i;
    return -1;
}

qsizetype PublishedGroups::indexLedBy(const QString& coordinator) const {
    for (qsizetype i = 0; i < list_.size(); ++i)
        if (list_.at(i).coordinatorID == coordinator)
            return i;
    return -1;
}

std::optional<SpeakerGroup> PublishedGroups::ledBy(const QString& coordinator) const {
    const qsizetype i = indexLedBy(coordinator);
    return i < 0 ? std::nullopt : std::optional<SpeakerGroup>(list_.at(i));
}

std::optional<std::pair<qsizetype, qsizetype>> PublishedGroups::roomIndex(const QString& roomID) const {
    for (qsizetype g = 0; g < list_.size(); ++g) {
        const QList<Room>& rooms = list_.at(g).rooms;
        for (qsizetype r = 0; r < rooms.size(); ++r)
            if (rooms.at(r).id == roomID)
                return std::pair{g, r};
    }
    return std::nullopt;
}

std::optional<QList<SpeakerGroup>>
PublishedGroups::with(const QString& id, const std::function<void(SpeakerGroup&)>& edit) const {
    const qsizetype i = indexOf(id);
    if (i < 0)
        return std::nullopt;
    QList<SpeakerGroup> changed = list_;
    edit(changed[i]);
    return changed;
}

std::optional<QList<SpeakerGroup>> PublishedGroups::withRoomMoved(const QString& roomID,
                                                                  const std::optional<QString>& targetID,
                                                                  const RoomOrder& order) const {
    QList<SpeakerGroup> list = list_;
    const auto source =
        std::find_if(list.begin(), list.end(), [&](const SpeakerGroup& g) { return g.holds(roomID); });
    if (source == list.end())
        return std::nullopt;
    const Room moving = *source->room(roomID);
    source->rooms.removeIf([&](const Room& r) { return r.id == roomID; });
    if (source->rooms.isEmpty())
        list.erase(source);

    const auto target = targetID ? std::find_if(list.begin(), list.end(),
                                                [&](const SpeakerGroup& g) { return g.id == *targetID; })
                                 : list.end();
    if (target != list.end()) {
        target->rooms.append(moving);
        order.sortRooms(target->rooms);
    } else {
        list.append(
            SpeakerGroup{.id = QStringLiteral("solo-") + roomID, .coordinatorID = roomID, .rooms = {moving}});
    }
    return list;
}

void PublishedGroups::clearTrack(SpeakerGroup& group) {
    group.title.clear();
    group.artist.clear();
    group.artURL.reset();
    group.spotifyURL.reset();
    group.appleMusicURL.reset();
}

SpeakerGroup PublishedGroups::seeded(const SpeakerGroup& fresh) const {
    const qsizetype i = indexOf(fresh.id);
    if (i < 0)
        return fresh;
    const SpeakerGroup& shown = list_.at(i);
    SpeakerGroup group = shown;
    clearTrack(group);
    group.coordinatorID = fresh.coordinatorID;
    group.rooms = fresh.rooms;
    for (Room& room : group.rooms)
        if (const Room* before = shown.room(room.id)) {
            room.volume = before->volume;
            room.muted = before->muted;
        }
    return group;
}

QList<SpeakerGroup> PublishedGroups::merged(const QList<SpeakerGroup>& fresh, const ChangeLedger& ledger,
                                            Clock::Instant cutoff,
                                            std::optional<quint64> changesBefore) const {
    QHash<QString, const SpeakerGroup*> published;
    for (const SpeakerGroup& group : list_)
        if (!published.contains(group.id))
            published.insert(group.id, &group);
    QList<SpeakerGroup> out;
    out.reserve(fresh.size());
    for (const SpeakerGroup& group : fresh) {
        const SpeakerGroup* shown = published.value(group.id);
        out.append(shown ? ledger.merged(group, *shown, cutoff, changesBefore) : group);
    }
    return out;
}
