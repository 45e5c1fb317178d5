#include "household/PresetList.h"

#include "core/Texts.h"

using namespace Qt::StringLiterals;

namespace {

QSet<QString> idsOf(const QList<Room>& rooms) {
    QSet<QString> ids;
    for (const Room& room : rooms)
        ids.insert(room.id);
    return ids;
}

} // namespace

std::optional<RoomPreset> PresetList::matching(const SpeakerGroup& group) const {
    const QSet<QString> ids = idsOf(group.rooms);
    for (const RoomPreset& preset : presets_)
        if (QSet<QString>(preset.roomIDs.cbegin(), preset.roomIDs.cend()) == ids)
            return preset;
    return std::nullopt;
}

bool PresetList::add(const SpeakerGroup& group) {
    // A group without rooms would make a preset that matches and applies to nothing.
    if (group.rooms.isEmpty() || matching(group) || presets_.size() >= limit)
        return false;
    QStringList ids;
    for (const Room& room : group.rooms)
        if (!ids.contains(room.id))
            ids.append(room.id);
    presets_.append(RoomPreset{.roomIDs = ids});
    return true;
}

void PresetList::remove(const RoomPreset& preset) {
    presets_.removeIf([&](const RoomPreset& p) { return p.id == preset.id; });
}

QString PresetList::name(const RoomPreset& preset, const QList<Room>& rooms) {
    // Each room once, in display order.
    QSet<QString> seen;
    qsizetype distinct = 0;
    QStringList members;
    for (const Room& room : rooms) {
        if (seen.contains(room.id))
            continue;
        seen.insert(room.id);
        ++distinct;
        if (preset.roomIDs.contains(room.id))
            members.append(room.name);
    }
    if (members.size() >= 2 && members.size() == distinct)
        return L(u"Alle"_s);
    if (!members.isEmpty())
        return members.join(" + "_L1);
    return L(u"Unbekannte Räume"_s);
}

QSet<QString> PresetList::present(const RoomPreset& preset, const QList<Room>& rooms) {
    QSet<QString> ids;
    for (const Room& room : rooms)
        if (preset.roomIDs.contains(room.id))
            ids.insert(room.id);
    return ids;
}
