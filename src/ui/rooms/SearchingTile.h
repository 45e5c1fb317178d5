#pragma once

#include "ui/rooms/RoomsEnvironment.h"

#include <QWidget>

// Shown while no group is active: speakers are being searched for, with a later hint.
class SearchingTile : public QWidget {
    Q_OBJECT
public:
    explicit SearchingTile(const RoomsEnvironment& environment, QWidget* parent = nullptr);

private:
    RoomsEnvironment environment_;
};
