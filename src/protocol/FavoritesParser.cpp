#include "protocol/FavoritesParser.h"
#include "protocol/XmlDocument.h"

#include <QHash>
#include <QUuid>

#include <cstring>

namespace {

std::optional<QUrl> urlOf(const QString& text) {
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

// A favourite read from one item, with its artwork reference still as written.
struct Item {
    Favorite favorite;
    QString artText;
};

std::optional<Item> itemOf(const QString& id, const QHash<QString, QString>& current) {
    const QString uri = current.value(QStringLiteral("res"));
    if (uri.isEmpty())
        return std::nullopt;
    const auto title = current.constFind(QStringLiteral("dc:title"));
    if (title == current.constEnd())
        return std::nullopt;
    Item item;
    item.favorite.id = id;
    item.favorite.title = *title;
    item.favorite.uri = uri;
    item.favorite.meta = current.value(QStringLiteral("r:resMD"));
    const auto art = current.constFind(QStringLiteral("upnp:albumArtURI"));
    if (art != current.constEnd()) {
        item.artText = *art;
        item.favorite.artURL = urlOf(*art);
    }
    return item;
}

bool isItem(pugi::xml_node element) {
    return std::strcmp(element.name(), "item") == 0;
}

// Each item's children by name (first wins, trimmed), turned into a favourite at its end.
struct FavoritesReader {
    QList<Item> items;
    QHash<QString, QString> current;
    QString id;
    QByteArray collected; // UTF-8 text since the latest element start or end
    bool inItem = false;

    void start(pugi::xml_node element) {
        if (isItem(element)) {
            inItem = true;
            current.clear();
            const pugi::xml_attribute given = element.attribute("id");
            id = given ? QString::fromUtf8(given.value())
                       : QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        }
        collected.resize(0);
    }
    void text(const char* data) { collected.append(data); }
    void end(pugi::xml_node element) {
        if (isItem(element)) {
            inItem = false;
            if (std::optional<Item> item = itemOf(id, current))
                items.append(std::move(*item));
        } else if (inItem) {
            QString name = QString::fromUtf8(element.name());
            if (!current.contains(name))
                current.insert(std::move(name), QString::fromUtf8(collected).trimmed());
        }
        collected.resize(0);
    }
};

} // namespace

QList<Favorite> FavoritesParser::parse(const QString& didl, const QString& host) {
    FavoritesReader reader;
    XmlDocument(didl).replay(reader);

    // Relative artwork references (no host) point at the asked speaker.
    QList<Favorite> favorites;
    favorites.reserve(reader.items.size());
    for (Item& item : reader.items) {
        std::optional<QUrl>& art = item.favorite.artURL;
        if (art && art->host().isEmpty())
            art = urlOf(QStringLiteral("http://") + host + QStringLiteral(":1400") + item.artText);
        favorites.append(std::move(item.favorite));
    }
    return favorites;
}
