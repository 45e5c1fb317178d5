#include "support/ReferenceReaders.h"

#include "protocol/XmlBytes.h"

#include <QHash>
#include <QUrl>
#include <QUuid>
#include <QXmlStreamReader>

#include <optional>

namespace {

void report(const QXmlStreamReader& reader, bool* complete) {
    if (complete)
        *complete = !reader.hasError();
}

Fields readLeaf(QXmlStreamReader& reader, bool* complete) {
    reader.setNamespaceProcessing(false);
    Fields fields;
    QString text;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            text.clear();
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isCDATA())
                text.append(reader.text());
            break;
        case QXmlStreamReader::EndElement:
            if (!text.isEmpty()) {
                QString name = reader.qualifiedName().toString();
                if (!fields.contains(name))
                    fields.insert(std::move(name), text);
                text.clear();
            }
            break;
        default:
            break;
        }
    }
    report(reader, complete);
    return fields;
}

struct MemberAttributes {
    std::optional<QStringView> uuid, location, zoneName;
    bool invisible = false;
    bool zoneBridge = false;
};

std::optional<TopologyParser::Member> memberOf(const QXmlStreamAttributes& attributes) {
    MemberAttributes found;
    for (const QXmlStreamAttribute& attribute : attributes) {
        const QStringView name = attribute.qualifiedName();
        const QStringView value = attribute.value();
        if (name == QLatin1String("UUID"))
            found.uuid = value;
        else if (name == QLatin1String("Location"))
            found.location = value;
        else if (name == QLatin1String("ZoneName"))
            found.zoneName = value;
        else if (name == QLatin1String("Invisible"))
            found.invisible = value == QLatin1String("1");
        else if (name == QLatin1String("IsZoneBridge"))
            found.zoneBridge = value == QLatin1String("1");
    }
    if (found.invisible || found.zoneBridge || !found.uuid || !found.location)
        return std::nullopt;
    const QUrl url(found.location->toString(), QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    QString host = url.host();
    if (host.isEmpty())
        return std::nullopt;
    QString uuid = found.uuid->toString();
    QString name = found.zoneName ? found.zoneName->toString() : uuid;
    return TopologyParser::Member{std::move(uuid), std::move(name), std::move(host)};
}

QList<TopologyParser::Group> readTopology(QXmlStreamReader& reader, bool* complete) {
    reader.setNamespaceProcessing(false);
    QList<TopologyParser::Group> groups;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.qualifiedName();
        if (name == u"ZoneGroup") {
            const QXmlStreamAttributes attributes = reader.attributes();
            groups.append({attributes.value(QLatin1String("ID")).toString(),
                           attributes.value(QLatin1String("Coordinator")).toString(),
                           {}});
        } else if (name == u"ZoneGroupMember") {
            std::optional<TopologyParser::Member> member = memberOf(reader.attributes());
            if (member && !groups.isEmpty())
                groups.last().members.append(std::move(*member));
        }
    }
    report(reader, complete);
    return groups;
}

Fields readLastChange(QXmlStreamReader& reader, bool* complete) {
    reader.setNamespaceProcessing(false);
    Fields fields;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        std::optional<QStringView> value, channel;
        for (const QXmlStreamAttribute& attribute : attributes) {
            if (attribute.qualifiedName() == QLatin1String("val"))
                value = attribute.value();
            else if (attribute.qualifiedName() == QLatin1String("channel"))
                channel = attribute.value();
        }
        if (!value)
            continue;
        QString name = reader.qualifiedName().toString();
        if (fields.contains(name))
            continue;
        if (channel && *channel != QLatin1String("Master"))
            continue;
        fields.insert(std::move(name), value->toString());
    }
    report(reader, complete);
    return fields;
}

std::optional<QUrl> urlOf(const QString& text) {
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

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

} // namespace

namespace reference {

Fields leaf(const QString& text, bool* complete) {
    QXmlStreamReader reader(text);
    return readLeaf(reader, complete);
}

Fields leaf(const QByteArray& bytes, bool* complete) {
    QXmlStreamReader reader(XmlBytes::upToEncodingError(bytes));
    return readLeaf(reader, complete);
}

QList<TopologyParser::Group> topology(const QString& text, bool* complete) {
    QXmlStreamReader reader(text);
    return readTopology(reader, complete);
}

QList<TopologyParser::Group> topology(const QByteArray& bytes, bool* complete) {
    QXmlStreamReader reader(XmlBytes::upToEncodingError(bytes));
    return readTopology(reader, complete);
}

Fields lastChange(const QString& text, bool* complete) {
    QXmlStreamReader reader(text);
    return readLastChange(reader, complete);
}

Fields lastChange(const QByteArray& bytes, bool* complete) {
    QXmlStreamReader reader(XmlBytes::upToEncodingError(bytes));
    return readLastChange(reader, complete);
}

QList<Favorite> favorites(const QString& didl, const QString& host, bool* complete) {
    QList<Item> items;
    QHash<QString, QString> current;
    QString id;
    QString text;
    bool inItem = false;

    QXmlStreamReader reader(didl);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (reader.qualifiedName() == u"item") {
                inItem = true;
                current.clear();
                const QXmlStreamAttributes attributes = reader.attributes();
                id = attributes.hasAttribute(QLatin1String("id"))
                         ? attributes.value(QLatin1String("id")).toString()
                         : QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
            }
            text.clear();
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isCDATA())
                text.append(reader.text());
            break;
        case QXmlStreamReader::EndElement:
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
            break;
        default:
            break;
        }
    }
    report(reader, complete);

    QList<Favorite> favorites;
    favorites.reserve(items.size());
    for (Item& item : items) {
        std::optional<QUrl>& art = item.favorite.artURL;
        if (art && art->host().isEmpty())
            art = urlOf(QStringLiteral("http://") + host + QStringLiteral(":1400") + item.artText);
        favorites.append(std::move(item.favorite));
    }
    return favorites;
}

} // namespace reference
