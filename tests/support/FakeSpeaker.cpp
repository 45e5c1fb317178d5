#include "FakeSpeaker.h"

#include "LastMade.h"
#include "SpeakerSimulator.h"

namespace sim {

void TransportState::select(int number) {
    track = number;
    const QueueItem& item = queue[number - 1];
    trackUri = item.uri;
    trackMetaData = item.metaData;
    trackDuration = item.duration;
    relTime = QStringLiteral("0:00:00");
}

namespace {
const QString didlStart = QStringLiteral("<DIDL-Lite xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                                         "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\" "
                                         "xmlns:r=\"urn:schemas-rinconnetworks-com:metadata-1-0/\" "
                                         "xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\">");
}

FakeHousehold FakeHousehold::solo(const QStringList& hosts, const QStringList& names) {
    FakeHousehold household;
    for (qsizetype i = 0; i < hosts.size(); ++i) {
        FakeSpeaker speaker;
        speaker.host = hosts[i];
        speaker.uuid = QStringLiteral("RINCON_0000000000%101400").arg(i + 1, 2, 10, QLatin1Char('0'));
        speaker.zoneName = i < names.size() ? names[i] : QStringLiteral("Room %1").arg(i + 1);
        household.groups.append(
            {speaker.uuid + QStringLiteral(":%1").arg(i + 1), speaker.uuid, {speaker.uuid}});
        household.speakers.append(speaker);
    }
    return household;
}

FakeSpeaker* FakeHousehold::speakerByHost(const QString& host) {
    for (FakeSpeaker& speaker : speakers)
        if (speaker.host == host)
            return &speaker;
    return nullptr;
}

FakeSpeaker* FakeHousehold::speakerByUuid(const QString& uuid) {
    for (FakeSpeaker& speaker : speakers)
        if (speaker.uuid == uuid)
            return &speaker;
    return nullptr;
}

const FakeSpeaker* FakeHousehold::speakerByHost(const QString& host) const {
    return const_cast<FakeHousehold*>(this)->speakerByHost(host);
}

const FakeSpeaker* FakeHousehold::speakerByUuid(const QString& uuid) const {
    return const_cast<FakeHousehold*>(this)->speakerByUuid(uuid);
}

FakeGroup* FakeHousehold::groupOf(const QString& uuid) {
    for (FakeGroup& group : groups)
        if (group.members.contains(uuid))
            return &group;
    return nullptr;
}

const FakeGroup* FakeHousehold::groupOf(const QString& uuid) const {
    return const_cast<FakeHousehold*>(this)->groupOf(uuid);
}

QString trackMetaData(const QString& title, const QString& artist, const QString& album, const QString& uri,
                      const QString& duration) {
    return didlStart +
           QStringLiteral("<item id=\"-1\" parentID=\"-1\" restricted=\"true\">"
                          "<res protocolInfo=\"http-get:*:audio/mpeg:*\" duration=\"%1\">%2</res>"
                          "<r:streamContent></r:streamContent>"
                          "<upnp:albumArtURI>/getaa?s=1&amp;u=%2</upnp:albumArtURI>"
                          "<dc:title>%3</dc:title><upnp:class>object.item.audioItem.musicTrack</upnp:class>"
                          "<dc:creator>%4</dc:creator><upnp:album>%5</upnp:album></item></DIDL-Lite>")
               .arg(xmlEscape(duration), xmlEscape(uri), xmlEscape(title), xmlEscape(artist),
                    xmlEscape(album));
}

QString streamMetaData(const QString& station, const QString& streamContent, const QString& albumArtUri) {
    QString art;
    if (!albumArtUri.isEmpty())
        art = QStringLiteral("<upnp:albumArtURI>%1</upnp:albumArtURI>").arg(xmlEscape(albumArtUri));
    return didlStart +
           QStringLiteral("<item id=\"-1\" parentID=\"-1\" restricted=\"true\">"
                          "<res protocolInfo=\"sonos.com-http:*:application/octet-stream:*\"></res>"
                          "<r:streamContent>%1</r:streamContent>%2<dc:title>%3</dc:title>"
                          "<upnp:class>object.item</upnp:class></item></DIDL-Lite>")
               .arg(xmlEscape(streamContent), art, xmlEscape(station));
}

namespace {

// What a speaker's element in the topology document is made of.
struct TopologyEntry {
    QString uuid;
    QString host;
    QString zoneName;
    bool invisible = false;
    bool zoneBridge = false;
    int bootSeq = 0;
    QStringList satellites;
    QMap<QString, QString> attributes;

    bool operator==(const TopologyEntry&) const = default;
};

// Everything the topology document is made of: the same makings give the same document.
struct TopologyMakings {
    QList<FakeGroup> groups;
    QList<TopologyEntry> speakers;
    QString vanished;

    explicit TopologyMakings(const FakeHousehold& household)
        : groups(household.groups), vanished(household.vanishedDevices) {
        speakers.reserve(household.speakers.size());
        for (const FakeSpeaker& s : household.speakers)
            speakers.append({s.uuid, s.host, s.zoneName, s.invisible, s.zoneBridge, s.bootSeq, s.satellites,
                             s.topologyAttributes});
    }
    bool operator==(const TopologyMakings&) const = default;
};

QString writeZoneGroupState(const FakeHousehold& household) {
    QString text;
    text.reserve(1024 + 512 * household.speakers.size());
    const auto attribute = [&](QStringView name, const QString& value) {
        text += u' ';
        text += name;
        text += QLatin1String("=\"");
        text += xmlEscape(value);
        text += u'"';
    };
    const auto member = [&](const FakeSpeaker& speaker, QLatin1String element) {
        text += u'<';
        text += element;
        attribute(u"UUID", speaker.uuid);
        attribute(u"Location", QLatin1String("http://") + speaker.host +
                                   QLatin1String(":1400/xml/device_description.xml"));
        attribute(u"ZoneName", speaker.zoneName);
        if (speaker.invisible || element == QLatin1String("Satellite"))
            text += QLatin1String(" Invisible=\"1\"");
        if (speaker.zoneBridge)
            text += QLatin1String(" IsZoneBridge=\"1\"");
        attribute(u"BootSeq", QString::number(speaker.bootSeq));
        for (auto it = speaker.topologyAttributes.cbegin(); it != speaker.topologyAttributes.cend(); ++it)
            attribute(it.key(), it.value());
    };
    text += QLatin1String("<ZoneGroupState><ZoneGroups>");
    for (const FakeGroup& group : household.groups) {
        text += QLatin1String("<ZoneGroup");
        attribute(u"Coordinator", group.coordinator);
        attribute(u"ID", group.id);
        text += u'>';
        for (const QString& uuid : group.members) {
            const FakeSpeaker* speaker = household.speakerByUuid(uuid);
            if (!speaker)
                continue;
            member(*speaker, QLatin1String("ZoneGroupMember"));
            if (speaker->satellites.isEmpty()) {
                text += QLatin1String("/>");
                continue;
            }
            text += u'>';
            for (const QString& satelliteId : speaker->satellites)
                if (const FakeSpeaker* satellite = household.speakerByUuid(satelliteId)) {
                    member(*satellite, QLatin1String("Satellite"));
                    text += QLatin1String("/>");
                }
            text += QLatin1String("</ZoneGroupMember>");
        }
        text += QLatin1String("</ZoneGroup>");
    }
    text += QLatin1String("</ZoneGroups><VanishedDevices>");
    text += household.vanishedDevices;
    text += QLatin1String("</VanishedDevices></ZoneGroupState>");
    return text;
}

} // namespace

QString zoneGroupState(const FakeHousehold& household) {
    // Every speaker of a household gives the same document, and a household of 32 players is
    // asked for it 32 times at once, with the household locked: each thread keeps the last one
    // it wrote, and writes it anew only when what it is made of has changed.
    thread_local LastMade<TopologyMakings, QString> last;
    return last.value(TopologyMakings(household), [&] { return writeZoneGroupState(household); });
}

QString favoritesDidl(const QList<FakeFavorite>& favorites) {
    QString text = didlStart;
    for (qsizetype i = 0; i < favorites.size(); ++i) {
        const FakeFavorite& favorite = favorites[i];
        text +=
            QStringLiteral("<item id=\"FV:2/%1\" parentID=\"FV:2\" restricted=\"false\">"
                           "<dc:title>%2</dc:title><upnp:class>%3</upnp:class><r:ordinal>%4</r:ordinal>"
                           "<res protocolInfo=\"x-rincon-cpcontainer:*:*:*\">%5</res>"
                           "<upnp:albumArtURI>%6</upnp:albumArtURI><r:type>instantPlay</r:type>"
                           "<r:description></r:description><r:resMD>%7</r:resMD></item>")
                .arg(i + 1)
                .arg(xmlEscape(favorite.title), xmlEscape(favorite.upnpClass))
                .arg(i)
                .arg(xmlEscape(favorite.uri), xmlEscape(favorite.albumArtUri), xmlEscape(favorite.metaData));
    }
    return text + QStringLiteral("</DIDL-Lite>");
}

} // namespace sim
