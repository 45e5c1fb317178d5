#include "core/Texts.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"

#include <QPointer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype maxPresets = 9;

// The household's rooms in display order, each once.
QList<Room> distinct(const QList<Room>& rooms) {
    QList<Room> out;
    QSet<QString> seen;
    for (const Room& room : rooms)
        if (!seen.contains(room.id)) {
            seen.insert(room.id);
            out.append(room);
        }
    return out;
}

} // namespace

QString Household::name(const RoomPreset& preset) const {
    const QList<Room> rooms = distinct(allRooms());
    QStringList members;
    for (const Room& room : rooms)
        if (preset.roomIDs.contains(room.id))
            members.append(room.name);
    if (members.size() >= 2 && members.size() == rooms.size())
        return L(u"Alle"_s);
    if (!members.isEmpty())
        return members.join(" + "_L1);
    return L(u"Unbekannte Räume"_s);
}

std::optional<RoomPreset> Household::preset(const SpeakerGroup& group) const {
    QSet<QString> ids;
    for (const Room& room : group.rooms)
        ids.insert(room.id);
    for (const RoomPreset& preset : presets_)
        if (QSet<QString>(preset.roomIDs.cbegin(), preset.roomIDs.cend()) == ids)
            return preset;
    return std::nullopt;
}

void Household::savePreset(const SpeakerGroup& group) {
    // A group without rooms would make a preset that matches and applies to nothing.
    if (group.rooms.isEmpty() || preset(group) || presets_.size() >= maxPresets)
        return;
    QStringList ids;
    for (const Room& room : group.rooms)
        if (!ids.contains(room.id))
            ids.append(room.id);
    presets_.append(RoomPreset{.roomIDs = ids});
    emit presetsChanged();
    storePresets();
}

void Household::deletePreset(const RoomPreset& preset) {
    presets_.removeIf([&](const RoomPreset& p) { return p.id == preset.id; });
    emit presetsChanged();
    // Written even when nothing was removed.
    storePresets();
}

void Household::storePresets() {
    if (!demo_)
        settings_.setData(HouseholdKeys::roomPresets, RoomPreset::encodeList(presets_));
}

// Above the complexity limit until the household is split into parts with their own state.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
QCoro::Task<void> Household::apply(RoomPreset preset) {
    // One apply at a time; a second one meanwhile does nothing.
    if (applyingPreset_)
        co_return;
    setApplyingPreset(true);
    QPointer<Household> self(this);
    // The changes run one after the other; the first failure shows once the last has finished,
    // so that a later success does not wipe it.
    const auto outcome = std::make_shared<Outcome>();

    // Only rooms the household holds now take part.
    QSet<QString> wanted;
    for (const Room& room : allRooms())
        if (preset.roomIDs.contains(room.id))
            wanted.insert(room.id);
    if (wanted.isEmpty()) {
        setApplyingPreset(false);
        co_return;
    }

    // The coordinator to gather around: the active group's when it is wanted, else the first
    // playing (or else first) group led by a wanted room, else the first wanted room alone.
    std::optional<QString> chosen;
    if (const auto active = activeGroup(); active && wanted.contains(active->coordinatorID))
        chosen = active->coordinatorID;
    if (!chosen) {
        const SpeakerGroup* first = nullptr;
        for (const SpeakerGroup& group : groups_) {
            if (!wanted.contains(group.coordinatorID))
                continue;
            if (isPlaying(group.state)) {
                first = &group;
                break;
            }
            if (!first)
                first = &group;
        }
        if (first)
            chosen = first->coordinatorID;
    }
    if (!chosen) {
        const QList<Room> rooms = allRooms();
        const auto room =
            std::find_if(rooms.cbegin(), rooms.cend(), [&](const Room& r) { return wanted.contains(r.id); });
        const auto group = room == rooms.cend()
                               ? groups_.cend()
                               : std::find_if(groups_.cbegin(), groups_.cend(),
                                              [&](const SpeakerGroup& g) { return g.holds(room->id); });
        if (group == groups_.cend()) {
            setApplyingPreset(false);
            co_return;
        }
        const Room alone = *room;
        co_await changeMember(alone, *group, false, outcome);
        if (!self)
            co_return;
        chosen = alone.id;
    }

    // The target group as the household shows it now, after whatever refreshes ran.
    const QString coordinator = *chosen;
    const auto target = [this, coordinator]() -> std::optional<SpeakerGroup> {
        for (const SpeakerGroup& group : groups_)
            if (group.coordinatorID == coordinator)
                return group;
        return std::nullopt;
    };

    // Joins, one after the other, each awaited through its refresh.
    const QList<Room> rooms = allRooms();
    for (const Room& room : rooms) {
        if (!wanted.contains(room.id))
            continue;
        const std::optional<SpeakerGroup> current = target();
        if (!current || current->holds(room.id))
            continue;
        co_await changeMember(room, *current, true, outcome);
        if (!self)
            co_return;
    }

    // Removals of the rooms the preset does not hold; the coordinator is wanted and stays.
    const std::optional<SpeakerGroup> gathered = target();
    const QList<Room> members = gathered ? gathered->rooms : QList<Room>();
    for (const Room& room : members) {
        if (wanted.contains(room.id))
            continue;
        const std::optional<SpeakerGroup> current = target();
        if (!current)
            break;
        // A room that has gone elsewhere meanwhile is no longer this group's to send away.
        if (!current->holds(room.id))
            continue;
        co_await changeMember(room, *current, false, outcome);
        if (!self)
            co_return;
    }

    if (const std::optional<SpeakerGroup> current = target()) {
        setActiveCoordinator(current->coordinatorID);
        pickedByUser_ = true;
    }
    setApplyingPreset(false);
    outcome->closed = true;
    report(*outcome);
}
