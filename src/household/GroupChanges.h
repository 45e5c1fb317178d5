#pragma once

#include "household/SpeakerGroup.h"

#include <QList>
#include <QStringList>

// What tells two published group lists apart, by group id, so that a view updates the rows
// that changed in place instead of rebuilding them all.
struct GroupChanges {
    QStringList added{};    // ids only the new list holds, in its order
    QStringList removed{};  // ids only the old list held, in its order
    QStringList changed{};  // ids both hold whose group differs, in the new list's order
    bool reordered = false; // the ids both hold stand in another order

    bool isEmpty() const { return added.isEmpty() && removed.isEmpty() && changed.isEmpty() && !reordered; }
    friend bool operator==(const GroupChanges&, const GroupChanges&) = default;

    // A repeated id counts at its first place.
    static GroupChanges between(const QList<SpeakerGroup>& before, const QList<SpeakerGroup>& after);
};
