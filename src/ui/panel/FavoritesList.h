#pragma once

#include "household/SpeakerGroup.h"

#include <QWidget>

// The favourites of the household for an idle group; tapping one plays it in the group.
// Not built yet: this stand-in takes no space and draws nothing.
class FavoritesList : public QWidget {
    Q_OBJECT
public:
    explicit FavoritesList(const SpeakerGroup& group, QWidget* parent = nullptr);
};
