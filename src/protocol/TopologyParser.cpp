#include "protocol/TopologyParser.h"

#include "core/DecimalInteger.h"
#include "protocol/XmlDocument.h"

#include <QUrl>

#include <cstring>
#include <optional>

namespace {

bool is(const char* text, const char* expected) {
    return std::strcmp(text, expected) == 0;
}

// The attributes of a ZoneGroupMember that decide whether and how it becomes a member,
// gathered in one pass over its attributes.
struct MemberAttributes {
    const char* uuid = nullptr;
    const char* location = nullptr;
    const char* zoneName = nullptr;
    bool invisible = false;
    bool zoneBridge = false;
};

// The member an element describes, or nothing when it is not a visible speaker with a
// usable Location.
std::optional<TopologyParser::Member> memberOf(pugi::xml_node element) {
    MemberAttributes found;
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        const char* name = attribute.name();
        const char* value = attribute.value();
        if (is(name, "UUID"))
            found.uuid = value;
        else if (is(name, "Location"))
            found.location = value;
        else if (is(name, "ZoneName"))
            found.zoneName = value;
        else if (is(name, "Invisible"))
            found.invisible = is(value, "1");
        else if (is(name, "IsZoneBridge"))
            found.zoneBridge = is(value, "1");
    }
    if (found.invisible || found.zoneBridge || !found.uuid || !found.location)
        return std::nullopt;
    const QUrl url(QString::fromUtf8(found.location), QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    QString host = url.host();
    if (host.isEmpty())
        return std::nullopt;
    QString uuid = QString::fromUtf8(found.uuid);
    QString name = found.zoneName ? QString::fromUtf8(found.zoneName) : uuid;
    return TopologyParser::Member{std::move(uuid), std::move(name), std::move(host)};
}

struct TopologyReader {
    QList<TopologyParser::Group> groups;

    void start(pugi::xml_node element) {
        const char* name = element.name();
        if (is(name, "ZoneGroup")) {
            groups.append({QString::fromUtf8(element.attribute("ID").value()),
                           QString::fromUtf8(element.attribute("Coordinator").value()),
                           {}});
        } else if (is(name, "ZoneGroupMember")) {
            std::optional<TopologyParser::Member> member = memberOf(element);
            if (member && !groups.isEmpty())
                groups.last().members.append(std::move(*member));
        }
    }
    void text(const char*) {}
    void end(pugi::xml_node) {}
};

// Every member and satellite with a number as its BootSeq and a UUID.
struct BootSeqReader {
    QHash<QString, qint64> seqs;
    void start(pugi::xml_node element) {
        const char* name = element.name();
        if (!is(name, "ZoneGroupMember") && !is(name, "Satellite"))
            return;
        const std::optional<qint64> seq =
            DecimalInteger::read(QString::fromUtf8(element.attribute("BootSeq").value()));
        const char* uuid = element.attribute("UUID").value();
        if (seq && *uuid != '\0')
            seqs.insert(QString::fromUtf8(uuid), *seq);
    }
    void text(const char*) {}
    void end(pugi::xml_node) {}
};

// Groups and boot numbers in one pass.
struct WholeReader {
    TopologyReader topology;
    BootSeqReader bootSeqs;
    void start(pugi::xml_node element) {
        topology.start(element);
        bootSeqs.start(element);
    }
    void text(const char*) {}
    void end(pugi::xml_node) {}
};

QList<TopologyParser::Group> readGroups(const XmlDocument& document) {
    TopologyReader reader;
    document.replay(reader);
    return std::move(reader.groups);
}

} // namespace

QList<TopologyParser::Group> TopologyParser::parse(const QString& text) {
    return readGroups(XmlDocument(text, XmlDocument::Reading::Tags));
}

QList<TopologyParser::Group> TopologyParser::parse(const QByteArray& utf8) {
    return readGroups(XmlDocument(utf8, XmlDocument::Reading::Tags));
}

QHash<QString, qint64> TopologyParser::bootSeqs(const QString& text) {
    BootSeqReader reader;
    XmlDocument(text, XmlDocument::Reading::Tags).replay(reader);
    return std::move(reader.seqs);
}

TopologyParser::Document TopologyParser::read(const QString& text) {
    WholeReader reader;
    XmlDocument(text, XmlDocument::Reading::Tags).replay(reader);
    return {std::move(reader.topology.groups), std::move(reader.bootSeqs.seqs)};
}
