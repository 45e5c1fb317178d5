#include "ui/rooms/SearchingTile.h"

// Not built yet: draws nothing and offers nothing.
SearchingTile::SearchingTile(const RoomsEnvironment& environment, QWidget* parent)
    : QWidget(parent), environment_(environment) {}
