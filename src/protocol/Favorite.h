#pragma once

#include <QHashFunctions>
#include <QString>
#include <QUrl>

#include <optional>

// One entry of the speakers' favourites list, as the favourites reader builds it. Equal only
// when all five fields are equal; an absent artwork URL equals only an absent one.
struct Favorite {
    QString id;                 // the item's id in the speakers' favourites container
    QString title;              // display title
    QString uri;                // the resource URI to play
    QString meta;               // the favourite's own DIDL-Lite metadata, sent back unchanged when played
    std::optional<QUrl> artURL; // absolute cover URL

    bool operator==(const Favorite&) const = default;
};

inline size_t qHash(const Favorite& favorite, size_t seed = 0) {
    return qHashMulti(seed, favorite.id, favorite.title, favorite.uri, favorite.meta,
                      favorite.artURL.has_value(), favorite.artURL.value_or(QUrl()));
}
