#include "household/RoomOrder.h"

#include <QCollator>

#include <algorithm>
#include <limits>

namespace {

constexpr qsizetype unranked = std::numeric_limits<qsizetype>::max();

} // namespace

qsizetype RoomOrder::rank(const QString& roomID) const {
    const qsizetype index = ids_.indexOf(roomID);
    return index < 0 ? unranked : index;
}

bool RoomOrder::learn(const QList<SpeakerGroup>& groups) {
    QList<Room> unseen;
    for (const SpeakerGroup& group : groups)
        for (const Room& room : group.rooms)
            if (!ids_.contains(room.id) &&
                std::none_of(unseen.cbegin(), unseen.cend(), [&](const Room& r) { return r.id == room.id; }))
                unseen.append(room);
    if (unseen.isEmpty())
        return false;
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(unseen.begin(), unseen.end(),
                     [&](const Room& a, const Room& b) { return collator.compare(a.name, b.name) < 0; });
    for (const Room& room : unseen)
        ids_.append(room.id);
    return true;
}

void RoomOrder::sortRooms(QList<Room>& rooms) const {
    std::stable_sort(rooms.begin(), rooms.end(),
                     [this](const Room& a, const Room& b) { return rank(a.id) < rank(b.id); });
}

QList<SpeakerGroup> RoomOrder::sorted(QList<SpeakerGroup> groups) const {
    const auto groupRank = [this](const SpeakerGroup& group) {
        qsizetype best = unranked;
        for (const Room& room : group.rooms)
            best = std::min(best, rank(room.id));
        return best;
    };
    std::stable_sort(groups.begin(), groups.end(), [&](const SpeakerGroup& a, const SpeakerGroup& b) {
        return groupRank(a) < groupRank(b);
    });
    return groups;
}
