#include "protocol/FavoritesParser.h"

#include <QHash>
#include <QUuid>
#include <QXmlStreamReader>

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

// Collects the items of a DIDL-Lite text, element by element.
struct ItemReader {
    QList<Item> items;
    QHash<QString, QString> current;
    QString id;
    QString text;
    bool inItem = false;

    void start(const QXmlStreamReader& reader) {
        if (reader.qualifiedName() == u"item") {
            inItem = true;
            current.clear();
            const QXmlStreamAttributes attributes = reader.attributes();
            id = attributes.hasAttribute(QLatin1String("id"))
                     ? attributes.value(QLatin1String("id")).toString()
                     : QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        }
        text.clear();
    }

    void end(const QXmlStreamReader& reader) {
        if (reader.qualifiedName() == u"item") {
            inItem = false;
            if (std::optional<Item> item = itemOf(id, current))
                items.append(std::move(*item));
        } else if (inItem) {
            QString name = reader.qualifiedName().toString();
            if (!current.contains(name))
                current.insert(std::move(name), text.trimmed());
        }
        text.clear();
    }
};

} // namespace

QList<Favorite> FavoritesParser::parse(const QString& didl, const QString& host) {
    ItemReader read;
    QXmlStreamReader reader(didl);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            read.start(reader);
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isCDATA())
                read.text.append(reader.text());
            break;
        case QXmlStreamReader::EndElement:
            read.end(reader);
            break;
        default:
            break;
        }
    }

    // Relative artwork references (no host) point at the asked speaker.
    QList<Favorite> favorites;
    favorites.reserve(read.items.size());
    for (Item& item : read.items) {
        std::optional<QUrl>& art = item.favorite.artURL;
        if (art && art->host().isEmpty())
            art = urlOf(QStringLiteral("http://") + host + QStringLiteral(":1400") + item.artText);
        favorites.append(std::move(item.favorite));
    }
    return favorites;
}
