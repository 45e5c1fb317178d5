#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

// Keeps a list of items (row widgets, usually) in step with a list of ids without rebuilding
// it: an id that stays keeps its item, so a row keeps its hover, focus or open editor while
// the list around it changes. Plain ids in, hooks out; nothing here knows widgets.
//
//   ListReconciler<RoomRow*> rows({
//       .make = [&](const QString& id, qsizetype at) { auto* r = new RoomRow(...); layout->insertWidget(at,
//       r); return r; }, .update = [&](RoomRow* r, qsizetype) { r->show(valueOf(id)); }, .place =
//       [&](RoomRow* r, qsizetype at) { layout->removeWidget(r); layout->insertWidget(at, r); }, .discard =
//       [](RoomRow* r) { r->deleteLater(); },
//   });
//   rows.reconcile(ids);
template <typename Item> class ListReconciler {
public:
    struct Hooks {
        // A new item for `id`, to stand at `index` of the new list.
        std::function<Item(const QString& id, qsizetype index)> make;
        // Called for every item that stays, with its index in the new list; may be empty.
        std::function<void(Item& item, qsizetype index)> update;
        // Moves an item that stays to `index` (the items before it are already in place);
        // called only when it stood elsewhere. May be empty when order does not matter.
        std::function<void(Item& item, qsizetype index)> place;
        // Lets go of the item of an id that is gone.
        std::function<void(Item& item)> discard;
    };

    explicit ListReconciler(Hooks hooks) : hooks_(std::move(hooks)) {}

    // Brings the items in step with `ids`: first the items of vanished ids are discarded, then
    // each position is filled in order by the item already there, an item moved up from
    // further down, or a new one. A repeated id counts once, at its first place.
    void reconcile(const QStringList& ids) {
        QStringList wanted;
        for (const QString& id : ids)
            if (!wanted.contains(id))
                wanted.append(id);
        for (qsizetype i = items_.size() - 1; i >= 0; --i) {
            if (wanted.contains(items_[i].first))
                continue;
            if (hooks_.discard)
                hooks_.discard(items_[i].second);
            items_.removeAt(i);
        }
        for (qsizetype i = 0; i < wanted.size(); ++i) {
            const qsizetype at = indexOf(wanted[i], i);
            if (at < 0) {
                items_.insert(i, {wanted[i], hooks_.make(wanted[i], i)});
                continue;
            }
            if (at != i) {
                items_.move(at, i);
                if (hooks_.place)
                    hooks_.place(items_[i].second, i);
            }
            if (hooks_.update)
                hooks_.update(items_[i].second, i);
        }
    }

    // The items with their ids, in the order of the last reconcile.
    const QList<std::pair<QString, Item>>& items() const { return items_; }

    // The item of `id`, or nullptr.
    Item* find(const QString& id) {
        const qsizetype at = indexOf(id, 0);
        return at < 0 ? nullptr : &items_[at].second;
    }

private:
    qsizetype indexOf(const QString& id, qsizetype from) const {
        for (qsizetype i = from; i < items_.size(); ++i)
            if (items_[i].first == id)
                return i;
        return -1;
    }

    Hooks hooks_;
    QList<std::pair<QString, Item>> items_;
};
