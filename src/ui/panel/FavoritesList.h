#pragma once

#include "household/SpeakerGroup.h"
#include "protocol/Favorite.h"

#include <QList>
#include <QWidget>

class Household;
class QAbstractButton;
class QVBoxLayout;

// The favourites of the household for an idle group: a heading and the first four favourites,
// each a row with its cover, its title and a play glyph that shows under the pointer. A click
// on a row starts that favourite on the list's group. The content keeps `outset` points from the
// list's sides, into which the rows' capsules reach: place the list that far beyond its column.
class FavoritesList : public QWidget {
    Q_OBJECT
public:
    static constexpr int shown = 4;
    static constexpr int outset = 4;

    FavoritesList(const SpeakerGroup& group, Household* household, QWidget* parent = nullptr);

    // The group the rows start their favourites on; follows the tile's group.
    void setGroup(const SpeakerGroup& group);
    const SpeakerGroup& group() const { return group_; }

    // The rows, top to bottom.
    QList<QAbstractButton*> rows() const;

private:
    void reconcile();

    SpeakerGroup group_;
    Household* household_;
    QVBoxLayout* column_;
    QList<Favorite> listed_;
};
