#pragma once

#include "protocol/Favorite.h"

#include <QList>
#include <QString>

// Reads the DIDL-Lite text of a favourites browse into favourites, in document order, and
// makes relative artwork references absolute on the asked speaker (its host, port 1400).
// Items without a usable "res" or without a "dc:title" are skipped; an item without an id
// gets a fresh random upper-case UUID. Malformed input gives the items completed before the
// error; it never fails.
class FavoritesParser {
public:
    static QList<Favorite> parse(const QString& didl, const QString& host);
};
