#pragma once

#include "household/RoomPreset.h"
#include "household/SpeakerGroup.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// The user's saved presets and their rules: at most 9, no two for the same set of rooms, none
// without rooms; a preset matches a group whose rooms are exactly its rooms, in any order.
// Storing is the owner's business.
class PresetList {
public:
    static constexpr qsizetype limit = 9;

    PresetList() = default;
    explicit PresetList(QList<RoomPreset> presets) : presets_(std::move(presets)) {}

    const QList<RoomPreset>& list() const { return presets_; }

    // The first preset holding exactly the group's rooms.
    std::optional<RoomPreset> matching(const SpeakerGroup& group) const;
    // Saves the group's rooms (each once, in the group's order) as a new preset, unless the
    // group has no rooms, a preset matches it already or the list is full. True when saved.
    bool add(const SpeakerGroup& group);
    // Removes the preset of the same id, if any.
    void remove(const RoomPreset& preset);

    // The display name among the household's rooms in display order: "Alle" when it holds every
    // room (two or more), else its rooms' names joined by " + ", or "Unbekannte Räume" when none
    // of them is here.
    static QString name(const RoomPreset& preset, const QList<Room>& rooms);
    // The ids of the preset's rooms that are among `rooms`.
    static QSet<QString> present(const RoomPreset& preset, const QList<Room>& rooms);

private:
    QList<RoomPreset> presets_;
};
