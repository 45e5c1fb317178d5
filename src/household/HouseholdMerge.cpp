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

// A track without title, artist or art shows none rather than the previous track's.
void clearTrack(SpeakerGroup& group) {
    group.title.clear();
    group.artist.clear();
    group.artURL.reset();
    group.spotifyURL.reset();
    group.appleMusicURL.reset();
}

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

bool Household::recent(const ChangeKey& key, Clock::Instant cutoff) const {
    const auto stamp = recentlyChanged_.constFind(key);
    return stamp != recentlyChanged_.cend() && *stamp > cutoff;
}

bool Household::changedSince(const ChangeKey& key, quint64 changesBefore) const {
    const auto number = valueChanged_.constFind(key);
    return number != valueChanged_.cend() && *number > changesBefore;
}

SpeakerGroup Household::seeded(const SpeakerGroup& fresh) const {
    const auto shown = std::find_if(groups_.cbegin(), groups_.cend(),
                                    [&](const SpeakerGroup& g) { return g.id == fresh.id; });
    if (shown == groups_.cend())
        return fresh;
    SpeakerGroup group = *shown;
    clearTrack(group);
    group.coordinatorID = fresh.coordinatorID;
    group.rooms = fresh.rooms;
    for (Room& room : group.rooms) {
        const auto before = std::find_if(shown->rooms.cbegin(), shown->rooms.cend(),
                                         [&](const Room& r) { return r.id == room.id; });
        if (before != shown->rooms.cend()) {
            room.volume = before->volume;
            room.muted = before->muted;
        }
    }
    return group;
}

// Above the complexity limit until the household is split into parts with their own state.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
void Household::applyGroups(const QList<SpeakerGroup>& fresh, std::optional<quint64> changesBefore) {
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

    const Clock::Instant cutoff = Clock::monotonic() - Delays::recentChange;
    // A value stays as shown while the user changed it within the last 2 s, or when it changed
    // (here or by an event) after the poll that read the fresh value began.
    const auto held = [&](ChangedValue value, const QString& id) {
        const ChangeKey key{value, id};
        return recent(key, cutoff) || (changesBefore && changedSince(key, *changesBefore));
    };
    QHash<QString, const SpeakerGroup*> published;
    for (const SpeakerGroup& group : groups_)
        if (!published.contains(group.id))
            published.insert(group.id, &group);

    QList<SpeakerGroup> merged;
    merged.reserve(fresh.size());
    for (const SpeakerGroup& group : fresh) {
        SpeakerGroup result = group;
        if (const SpeakerGroup* old = published.value(group.id)) {
            // Newer values outrank what the speakers reported, each value on its own.
            if (held(ChangedValue::state, group.id))
                result.state = old->state;
            if (held(ChangedValue::volume, group.id))
                result.volume = old->volume;
            if (held(ChangedValue::mute, group.id))
                result.muted = old->muted;
            if (held(ChangedValue::position, group.id)) {
                result.position = old->position;
                result.positionAt = old->positionAt;
            }
            if (held(ChangedValue::tvSound, group.id)) {
                result.nightMode = old->nightMode;
                result.speechBoost = old->speechBoost;
            }
            if (held(ChangedValue::sleepTimer, group.id)) {
                result.sleepRemaining = old->sleepRemaining;
                result.sleepAt = old->sleepAt;
            }
            for (Room& room : result.rooms) {
                const auto before = std::find_if(old->rooms.cbegin(), old->rooms.cend(),
                                                 [&](const Room& r) { return r.id == room.id; });
                if (before == old->rooms.cend())
                    continue;
                if (held(ChangedValue::roomVolume, room.id))
                    room.volume = before->volume;
                if (held(ChangedValue::roomMute, room.id))
                    room.muted = before->muted;
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
    SpeakerGroup copy = *group;
    clearTrack(copy);
    const int generation = generation_;
    const quint64 applied = refreshesApplied_;
    const quint64 changesBefore = changeCount_;
    const SpeakerGroup polled = co_await pollOne(std::move(copy));
    if (!self)
        co_return;
    // A membership change began or happened meanwhile; its own refresh brings the state. A
    // refresh that applied meanwhile brought newer membership than the copy polled here.
    if (pendingChanges_ != 0 || generation_ != generation || refreshesApplied_ != applied)
        co_return;
    QList<SpeakerGroup> list = groups_;
    const auto target =
        std::find_if(list.begin(), list.end(), [&](const SpeakerGroup& g) { return g.id == polled.id; });
    if (target == list.end())
        co_return;
    *target = polled;
    applyGroups(list, changesBefore);
}
