#include "household/GroupChanges.h"

#include <QHash>

namespace {

// Each id with its first group, and the ids in order.
struct Indexed {
    QHash<QString, const SpeakerGroup*> byID;
    QStringList order;

    explicit Indexed(const QList<SpeakerGroup>& groups) {
        for (const SpeakerGroup& group : groups) {
            if (byID.contains(group.id))
                continue;
            byID.insert(group.id, &group);
            order.append(group.id);
        }
    }
};

} // namespace

GroupChanges GroupChanges::between(const QList<SpeakerGroup>& before, const QList<SpeakerGroup>& after) {
    const Indexed old(before);
    const Indexed now(after);
    GroupChanges changes;
    QStringList keptInOldOrder;
    for (const QString& id : old.order) {
        if (now.byID.contains(id))
            keptInOldOrder.append(id);
        else
            changes.removed.append(id);
    }
    QStringList keptInNewOrder;
    for (const QString& id : now.order) {
        const auto was = old.byID.constFind(id);
        if (was == old.byID.cend()) {
            changes.added.append(id);
            continue;
        }
        keptInNewOrder.append(id);
        if (!(**was == *now.byID.value(id)))
            changes.changed.append(id);
    }
    changes.reordered = keptInOldOrder != keptInNewOrder;
    return changes;
}
