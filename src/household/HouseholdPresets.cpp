#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"

#include <QPointer>

#include <algorithm>

using namespace Qt::StringLiterals;

QString Household::name(const RoomPreset& preset) const {
    return PresetList::name(preset, allRooms());
}

std::optional<RoomPreset> Household::preset(const SpeakerGroup& group) const {
    return presets_.matching(group);
}

void Household::savePreset(const SpeakerGroup& group) {
    if (!presets_.add(group))
        return;
    emit presetsChanged();
    storePresets();
}

void Household::deletePreset(const RoomPreset& preset) {
    presets_.remove(preset);
    emit presetsChanged();
    // Written even when nothing was removed.
    storePresets();
}

void Household::storePresets() {
    if (!demo_)
        settings_.setData(HouseholdKeys::roomPresets, RoomPreset::encodeList(presets_.list()));
}

// The active group's coordinator when it is wanted, else the first playing (or else first)
// group led by a wanted room.
std::optional<QString> Household::leadingCoordinator(const QSet<QString>& wanted) const {
    if (const auto active = activeGroup(); active && wanted.contains(active->coordinatorID))
        return active->coordinatorID;
    const SpeakerGroup* first = nullptr;
    for (const SpeakerGroup& group : groups_.list()) {
        if (!wanted.contains(group.coordinatorID))
            continue;
        if (isPlaying(group.state))
            return group.coordinatorID;
        if (!first)
            first = &group;
    }
    return first ? std::optional<QString>(first->coordinatorID) : std::nullopt;
}

// The first wanted room in room order leaves its group to stand alone; its id, or nothing when
// no wanted room is shown.
QCoro::Task<std::optional<QString>> Household::standAlone(QSet<QString> wanted,
                                                          std::shared_ptr<RequestOutcome> outcome) {
    const QList<Room> rooms = allRooms();
    const auto room =
        std::find_if(rooms.cbegin(), rooms.cend(), [&](const Room& r) { return wanted.contains(r.id); });
    if (room == rooms.cend())
        co_return std::nullopt;
    const auto at = groups_.roomIndex(room->id);
    if (!at)
        co_return std::nullopt;
    const Room alone = *room;
    co_await changeMember(alone, groups_.list().at(at->first), false, std::move(outcome));
    co_return alone.id;
}

// Joins, one after the other, each awaited through its refresh, into the target group as the
// household shows it at that moment.
QCoro::Task<void> Household::joinWanted(QString coordinator, QSet<QString> wanted,
                                        std::shared_ptr<RequestOutcome> outcome) {
    QPointer<Household> self(this);
    const QList<Room> rooms = allRooms();
    for (const Room& room : rooms) {
        if (!wanted.contains(room.id))
            continue;
        const std::optional<SpeakerGroup> current = groups_.ledBy(coordinator);
        if (!current || current->holds(room.id))
            continue;
        co_await changeMember(room, *current, true, outcome);
        if (!self)
            co_return;
    }
}

// Removals of the rooms the preset does not hold; the coordinator is wanted and stays.
QCoro::Task<void> Household::removeUnwanted(QString coordinator, QSet<QString> wanted,
                                            std::shared_ptr<RequestOutcome> outcome) {
    QPointer<Household> self(this);
    const std::optional<SpeakerGroup> gathered = groups_.ledBy(coordinator);
    const QList<Room> members = gathered ? gathered->rooms : QList<Room>();
    for (const Room& room : members) {
        if (wanted.contains(room.id))
            continue;
        const std::optional<SpeakerGroup> current = groups_.ledBy(coordinator);
        if (!current)
            co_return;
        // A room that has gone elsewhere meanwhile is no longer this group's to send away.
        if (!current->holds(room.id))
            continue;
        co_await changeMember(room, *current, false, outcome);
        if (!self)
            co_return;
    }
}

QCoro::Task<void> Household::apply(RoomPreset preset) {
    // One apply at a time; a second one meanwhile does nothing.
    if (applyingPreset_)
        co_return;
    setApplyingPreset(true);
    QPointer<Household> self(this);
    // The changes run one after the other; the first failure shows once the last has finished,
    // so that a later success does not wipe it.
    const auto outcome = std::make_shared<RequestOutcome>();

    // Only rooms the household holds now take part; the coordinator to gather around leads a
    // wanted group already, or else is the first wanted room, alone.
    const QSet<QString> wanted = PresetList::present(preset, allRooms());
    std::optional<QString> chosen = wanted.isEmpty() ? std::nullopt : leadingCoordinator(wanted);
    if (!chosen && !wanted.isEmpty()) {
        QCoro::Task<std::optional<QString>> leaving = standAlone(wanted, outcome);
        chosen = co_await std::move(leaving);
        if (!self)
            co_return;
    }
    if (!chosen) {
        setApplyingPreset(false);
        co_return;
    }

    // The target group as the household shows it at each step, after whatever refreshes ran.
    const QString coordinator = *chosen;
    co_await joinWanted(coordinator, wanted, outcome);
    if (!self)
        co_return;
    co_await removeUnwanted(coordinator, wanted, outcome);
    if (!self)
        co_return;

    if (const std::optional<SpeakerGroup> current = groups_.ledBy(coordinator)) {
        setActiveCoordinator(current->coordinatorID);
        pickedByUser_ = true;
    }
    setApplyingPreset(false);
    outcome->close();
    report(*outcome);
}
