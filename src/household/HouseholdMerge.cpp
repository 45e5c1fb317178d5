#include "core/Delays.h"
#include "core/Tasks.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"

#include <QPointer>

#include <algorithm>

void Household::applyGroups(const QList<SpeakerGroup>& fresh, std::optional<quint64> changesBefore) {
    // New rooms join the room order; a room keeps its place for good, even while it is away.
    if (roomOrder_.learn(fresh))
        settings_.setTextList(HouseholdKeys::roomOrder, roomOrder_.ids());

    // A value stays as shown while the user changed it within the last 2 s, or when it changed
    // (here or by an event) after the poll that read the fresh value began.
    const Clock::Instant cutoff = Clock::monotonic() - Delays::recentChange;
    QList<SpeakerGroup> merged = groups_.merged(fresh, changes_, cutoff, changesBefore);
    for (SpeakerGroup& group : merged)
        roomOrder_.sortRooms(group.rooms);
    setGroups(roomOrder_.sorted(std::move(merged)));
    pickActiveGroup();
}

bool Household::keepActive(const QString& active) {
    if (const auto current = groups_.ledBy(active))
        return pickedByUser_ || isPlaying(current->state) || !anyPlaying();
    // The active coordinator joined another group: follow it there.
    if (const auto at = groups_.roomIndex(active)) {
        setActiveCoordinator(groups_.list().at(at->first).coordinatorID);
        return true;
    }
    return false;
}

const SpeakerGroup& Household::bestGroup() const {
    const QList<SpeakerGroup>& groups = groups_.list();
    const SpeakerGroup* best = &groups.first();
    for (const SpeakerGroup& group : groups) {
        const bool playing = isPlaying(group.state);
        const bool bestPlaying = isPlaying(best->state);
        if ((playing && !bestPlaying) || (playing == bestPlaying && group.rooms.size() > best->rooms.size()))
            best = &group;
    }
    return *best;
}

void Household::pickActiveGroup() {
    if (activeCoordinator_ && keepActive(*activeCoordinator_))
        return;
    pickedByUser_ = false;
    if (groups_.isEmpty()) {
        setActiveCoordinator(std::nullopt);
        return;
    }
    setActiveCoordinator(bestGroup().coordinatorID);
}

void Household::selectGroup(int offset) {
    const QList<SpeakerGroup>& groups = groups_.list();
    const qsizetype n = groups.size();
    if (n < 2)
        return;
    const auto active = activeGroup();
    if (!active)
        return;
    const qsizetype i = groups_.indexOf(active->id);
    if (i < 0)
        return;
    // Offsets beyond one round are folded in first, so the index never goes negative.
    const qsizetype next = ((i + offset % n) + n) % n;
    setActiveCoordinator(groups.at(next).coordinatorID);
    pickedByUser_ = true;
}

void Household::reload(const QString& coordinator) {
    const quint64 ticket = schedule_.issue(RefreshSchedule::Wait::groupReread, coordinator);
    Tasks::detach(reloadAfterWait(coordinator, ticket), "group re-read after events");
}

QCoro::Task<void> Household::reloadAfterWait(QString coordinator, quint64 ticket) {
    QPointer<Household> self(this);
    co_await Clock::sleep(Delays::groupRepoll);
    // Only the newest request for a coordinator polls.
    if (!self || !schedule_.isNewest(RefreshSchedule::Wait::groupReread, coordinator, ticket))
        co_return;
    std::optional<SpeakerGroup> copy = groups_.ledBy(coordinator);
    if (!copy)
        co_return;
    PublishedGroups::clearTrack(*copy);
    const RefreshSchedule::Snapshot snapshot = schedule_.snapshot();
    const quint64 changesBefore = changes_.changes();
    const SpeakerGroup polled = co_await pollOne(*std::move(copy));
    if (!self)
        co_return;
    // A membership change began or happened meanwhile; its own refresh brings the state. A
    // refresh that applied meanwhile brought newer membership than the copy polled here.
    if (!schedule_.unchangedSince(snapshot))
        co_return;
    const std::optional<QList<SpeakerGroup>> list =
        groups_.with(polled.id, [&polled](SpeakerGroup& group) { group = polled; });
    if (list)
        applyGroups(*list, changesBefore);
}
