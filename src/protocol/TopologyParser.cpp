#include "protocol/TopologyParser.h"
#include "protocol/XmlBytes.h"

#include <QUrl>
#include <QXmlStreamReader>

#include <optional>

namespace {

// The attributes of a ZoneGroupMember that decide whether and how it becomes a member,
// gathered in one pass over its attributes.
struct MemberAttributes {
    std::optional<QStringView> uuid, location, zoneName;
    bool invisible = false;
    bool zoneBridge = false;
};

// The member an element describes, or nothing when it is not a visible speaker with a
// usable Location.
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

QList<TopologyParser::Group> read(QXmlStreamReader& reader) {
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
    return groups;
}

} // namespace

QList<TopologyParser::Group> TopologyParser::parse(const QString& text) {
    QXmlStreamReader reader(text);
    return read(reader);
}

QList<TopologyParser::Group> TopologyParser::parse(const QByteArray& utf8) {
    QXmlStreamReader reader(XmlBytes::upToEncodingError(utf8));
    return read(reader);
}

QHash<QString, qint64> TopologyParser::bootSeqs(const QString& text) {
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    QHash<QString, qint64> seqs;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.qualifiedName();
        if (name != u"ZoneGroupMember" && name != u"Satellite")
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        bool ok = false;
        const qint64 seq = attributes.value(QLatin1String("BootSeq")).toLongLong(&ok);
        const QString uuid = attributes.value(QLatin1String("UUID")).toString();
        if (ok && !uuid.isEmpty())
            seqs.insert(uuid, seq);
    }
    return seqs;
}
