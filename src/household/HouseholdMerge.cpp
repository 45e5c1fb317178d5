#include "core/Delays.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"

#include <QCollator>
#include <QPointer>

#include <algorithm>
#include <limits>

namespace {

constexpr qsizetype unranked = std::numeric_limits<qsizetype>::max();

} // namespace

qsizetype Household::rank(const QString& roomID) const {
    const qsizetype index = roomOrder_.indexOf(roomID);
    return index < 0 ? unranked : index;
}

void Household::sortRooms(QList<Room>& rooms) const {
    std::stable_sort(rooms.begin(), rooms.end(),
                     [this](const Room& a, const Room& b) { return rank(a.id) < rank(b.id); });
}

QList<SpeakerGroup> Household::sorted(QList<SpeakerGroup> groups) const {
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

bool Household::recent(const QString& key, const QDateTime& cutoff) const {
    const auto stamp = recentlyChanged_.constFind(key);
    return stamp != recentlyChanged_.cend() && *stamp > cutoff;
}

// Above the complexity limit until the household is split into parts with their own state.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void Household::applyGroups(const QList<SpeakerGroup>& fresh) {
    // New rooms join the room order by name, after every room already known; a room keeps
    // its place for good, even while it is away.
    QList<Room> unseen;
    for (const SpeakerGroup& group : fresh)
        for (const Room& room : group.rooms)
            if (!roomOrder_.contains(room.id) &&
                std::none_of(unseen.cbegin(), unseen.cend(), [&](const Room& r) { return r.id == room.id; }))
                unseen.append(room);
    if (!unseen.isEmpty()) {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::stable_sort(unseen.begin(), unseen.end(),
                         [&](const Room& a, const Room& b) { return collator.compare(a.name, b.name) < 0; });
        for (const Room& room : unseen)
            roomOrder_.append(room.id);
        settings_.setTextList(HouseholdKeys::roomOrder, roomOrder_);
    }

    const QDateTime cutoff = Clock::now().addMSecs(-Delays::recentChange.count());
    QHash<QString, const SpeakerGroup*> published;
    for (const SpeakerGroup& group : groups_)
        if (!published.contains(group.id))
            published.insert(group.id, &group);

    QList<SpeakerGroup> merged;
    merged.reserve(fresh.size());
    for (const SpeakerGroup& group : fresh) {
        SpeakerGroup result = group;
        if (const SpeakerGroup* old = published.value(group.id)) {
            // Values the user changed within the last 2 s outrank what the speakers reported.
            if (recent(group.id, cutoff)) {
                result.state = old->state;
                result.volume = old->volume;
                result.muted = old->muted;
            }
            if (recent(group.id + QStringLiteral(".seek"), cutoff)) {
                result.position = old->position;
                result.positionAt = old->positionAt;
            }
            if (recent(group.id + QStringLiteral(".tvsound"), cutoff)) {
                result.nightMode = old->nightMode;
                result.speechBoost = old->speechBoost;
            }
            if (recent(group.id + QStringLiteral(".sleep"), cutoff)) {
                result.sleepRemaining = old->sleepRemaining;
                result.sleepAt = old->sleepAt;
            }
            for (Room& room : result.rooms) {
                if (!recent(room.id, cutoff))
                    continue;
                const auto before = std::find_if(old->rooms.cbegin(), old->rooms.cend(),
                                                 [&](const Room& r) { return r.id == room.id; });
                if (before != old->rooms.cend()) {
                    room.volume = before->volume;
                    room.muted = before->muted;
                }
            }
        }
        sortRooms(result.rooms);
        merged.append(std::move(result));
    }
    setGroups(sorted(std::move(merged)));
    pickActiveGroup();
}

// Above the complexity limit until the household is split into parts with their own state.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void Household::pickActiveGroup() {
    if (activeCoordinator_) {
        const QString& active = *activeCoordinator_;
        const auto current = std::find_if(groups_.cbegin(), groups_.cend(),
                                          [&](const SpeakerGroup& g) { return g.coordinatorID == active; });
        if (current != groups_.cend()) {
            if (pickedByUser_ || isPlaying(current->state) || !anyPlaying())
                return;
        } else {
            // The active coordinator joined another group: follow it there.
            for (const SpeakerGroup& group : groups_)
                for (const Room& room : group.rooms)
                    if (room.id == active) {
                        setActiveCoordinator(group.coordinatorID);
                        return;
                    }
        }
    }
    pickedByUser_ = false;
    if (groups_.isEmpty()) {
        setActiveCoordinator(std::nullopt);
        return;
    }
    // A playing group wins over a stopped one, then the one with more rooms, then the earlier.
    const SpeakerGroup* best = &groups_.first();
    for (const SpeakerGroup& group : groups_) {
        const bool playing = isPlaying(group.state);
        const bool bestPlaying = isPlaying(best->state);
        if ((playing && !bestPlaying) || (playing == bestPlaying && group.rooms.size() > best->rooms.size()))
            best = &group;
    }
    setActiveCoordinator(best->coordinatorID);
}

void Household::selectGroup(int offset) {
    const qsizetype n = groups_.size();
    if (n < 2)
        return;
    const auto active = activeGroup();
    if (!active)
        return;
    const auto at = std::find_if(groups_.cbegin(), groups_.cend(),
                                 [&](const SpeakerGroup& g) { return g.id == active->id; });
    if (at == groups_.cend())
        return;
    const qsizetype i = at - groups_.cbegin();
    // Offsets beyond one round are folded in first, so the index never goes negative.
    const qsizetype next = ((i + offset % n) + n) % n;
    setActiveCoordinator(groups_.at(next).coordinatorID);
    pickedByUser_ = true;
}

void Household::reload(const QString& coordinator) {
    const quint64 ticket = ++nextTicket_;
    reloads_.insert(coordinator, ticket);
    reloadAfterWait(coordinator, ticket);
}

QCoro::Task<void> Household::reloadAfterWait(QString coordinator, quint64 ticket) {
    QPointer<Household> self(this);
    co_await Clock::sleep(Delays::groupRepoll);
    // Only the newest request for a coordinator polls.
    if (!self || reloads_.value(coordinator) != ticket)
        co_return;
    const auto group = std::find_if(groups_.cbegin(), groups_.cend(),
                                    [&](const SpeakerGroup& g) { return g.coordinatorID == coordinator; });
    if (group == groups_.cend())
        co_return;
    // A track without title, artist or art shows none rather than the previous track's.
    SpeakerGroup copy = *group;
    copy.title.clear();
    copy.artist.clear();
    copy.artURL.reset();
    copy.spotifyURL.reset();
    copy.appleMusicURL.reset();
    const int generation = generation_;
    const SpeakerGroup polled = co_await pollOne(std::move(copy));
    if (!self)
        co_return;
    // A membership change began or happened meanwhile; its own refresh brings the state.
    if (pendingChanges_ != 0 || generation_ != generation)
        co_return;
    QList<SpeakerGroup> list = groups_;
    const auto target =
        std::find_if(list.begin(), list.end(), [&](const SpeakerGroup& g) { return g.id == polled.id; });
    if (target == list.end())
        co_return;
    *target = polled;
    applyGroups(list);
}
