#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// The state of the loopback speaker simulator's household: plain values, copied in and out
// under the simulator's lock.
namespace sim {

struct QueueItem {
    QString uri;
    QString metaData; // DIDL-Lite as a document (not escaped)
    QString duration = QStringLiteral("0:03:00");
};

// What every speaker keeps for its own room.
struct RoomState {
    int volume = 20;
    bool mute = false;
    int bass = 0;
    int treble = 0;
    bool loudness = true;
    bool nightMode = false;
    bool dialogLevel = false;
    QString htAudioIn = QStringLiteral("0");
    QString icon = QStringLiteral("x-rincon-roomicon:living");
    QString configuration = QStringLiteral("1");
    QString targetRoomName;
};

// What a speaker keeps when it coordinates a group.
struct TransportState {
    QString state = QStringLiteral("STOPPED");
    QString avTransportUri;
    QString avTransportMetaData;
    QString trackUri;
    QString trackMetaData; // DIDL-Lite as a document (not escaped)
    QString trackDuration = QStringLiteral("0:00:00");
    QString relTime = QStringLiteral("0:00:00");
    QString sleepTimer; // "H:MM:SS" or empty
    QList<QueueItem> queue;
    int track = 0; // 1-based position in the queue, 0 for none

    // Makes queue entry `number` (1-based, must exist) the current track, from its start.
    void select(int number);
};

struct FakeSpeaker {
    QString host; // its loopback address; its server listens there on port 1400
    QString uuid; // "RINCON_..."
    QString zoneName;
    QString modelName = QStringLiteral("Sonos One");
    bool tv = false; // answers GetEQ for NightMode / DialogLevel
    bool invisible = false;
    bool zoneBridge = false;
    int bootSeq = 1;        // stated in the topology; raised by each restart
    QStringList satellites; // uuids of speakers bound to this one (surrounds, sub)
    RoomState room;
    TransportState transport;
    // Reply fields given as they stand instead of from the state, for texts that the state
    // cannot hold ("abc" as a volume, "true" as a mute): action -> field -> text, or nothing
    // to leave the field out. A field the reply lacks is added at its end.
    QHash<QString, QHash<QString, std::optional<QString>>> replyText;
    // What the device description and the topology tell of the software and the link.
    std::optional<QString> softwareVersion;
    std::optional<QString> displayVersion;
    // Further attributes of the speaker's topology element ("SoftwareVersion", "WirelessMode",
    // "ChannelFreq", ...), written in ascending name order.
    QMap<QString, QString> topologyAttributes;
};

struct FakeGroup {
    QString id;
    QString coordinator; // uuid
    QStringList members; // uuids, coordinator included

    bool operator==(const FakeGroup&) const = default;
};

struct FakeFavorite {
    QString title;
    QString uri;
    QString metaData; // DIDL-Lite as a document (not escaped), sent as r:resMD
    QString albumArtUri;
    QString upnpClass = QStringLiteral("object.itemobject.item.sonos-favorite");
};

struct FakeHousehold {
    QList<FakeSpeaker> speakers;
    QList<FakeGroup> groups;
    QList<FakeFavorite> favorites;
    // The household id that GetHouseholdID answers; nothing makes it fail.
    std::optional<QString> householdId = QStringLiteral("Sonos_SIM_HOUSEHOLD");
    // The "UpdateItem" text of CheckForUpdate; nothing leaves the field out.
    std::optional<QString> updateItem;
    // Inner XML of the topology's VanishedDevices element, as it stands.
    QString vanishedDevices;

    // One speaker per host, each a group of its own: uuids "RINCON_<n padded>01400", zone names
    // from `names` (or "Room <n>").
    static FakeHousehold solo(const QStringList& hosts, const QStringList& names = {});

    FakeSpeaker* speakerByHost(const QString& host);
    FakeSpeaker* speakerByUuid(const QString& uuid);
    const FakeSpeaker* speakerByHost(const QString& host) const;
    const FakeSpeaker* speakerByUuid(const QString& uuid) const;
    FakeGroup* groupOf(const QString& uuid);
    const FakeGroup* groupOf(const QString& uuid) const;
};

// A DIDL-Lite document for a radio stream, shaped like a speaker's TrackMetaData: the station
// as dc:title, what plays right now as r:streamContent, and artwork when one is given.
QString streamMetaData(const QString& station, const QString& streamContent, const QString& albumArtUri = {});

// A DIDL-Lite document for one track, shaped like a speaker's TrackMetaData.
QString trackMetaData(const QString& title, const QString& artist, const QString& album, const QString& uri,
                      const QString& duration = QStringLiteral("0:03:00"));

} // namespace sim
