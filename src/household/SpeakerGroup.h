#pragma once

#include "core/Clock.h"
#include "household/Room.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// One group of rooms playing together, with its transport and track state. Identified by
// `id`: code that looks for the same group matches `id` (or `coordinatorID`); `==` compares
// the whole value, so a view can tell whether a group it shows changed at all. A group for a new topology
// group is built from its first three fields, every other field keeping the value it has before the group's
// state is read:
//   SpeakerGroup{.id = groupID, .coordinatorID = coordinator, .rooms = members}
// A published group always has at least one room.
struct SpeakerGroup {
    QString id{};
    QString coordinatorID{}; // Room::id of the room that carries the group's transport
    QList<Room> rooms{};
    QString state = QStringLiteral("STOPPED"); // transport state as the speaker words it
    QString title{};
    QString artist{};
    std::optional<QUrl> artURL{};
    std::optional<QUrl> spotifyURL{};    // a "spotify:track:…" link
    std::optional<QUrl> appleMusicURL{}; // the web page of the song
    bool viaAirPlay = false;
    bool viaTV = false;
    bool canSkip = true;
    std::optional<int> tvFormat{}; // the TV input's audio format code
    std::optional<bool> nightMode{};
    std::optional<bool> speechBoost{};
    std::optional<QString> tvHost{}; // where TV sound requests go
    bool hasTrack = false;
    int volume = 0; // group volume, 0 to 100
    bool muted = false;
    double position = 0; // seconds, as measured at positionAt
    QDateTime positionAt = Clock::now();
    std::optional<double> duration{};       // seconds; absent for streams
    std::optional<double> sleepRemaining{}; // seconds, as measured at sleepAt
    QDateTime sleepAt = Clock::now();

    friend bool operator==(const SpeakerGroup&, const SpeakerGroup&) = default;

    // The room whose id is coordinatorID, else the first room. For a group without rooms
    // (which is never published) it is an empty Room rather than undefined behaviour.
    Room coordinator() const;
    // The room ids sorted ascending and joined with ","; the same for any order of rooms.
    QString memberKey() const;
    // Whether a room of that id is in the group.
    bool holds(const QString& roomID) const { return room(roomID) != nullptr; }
    // The first room of that id in the group; null when there is none.
    const Room* room(const QString& roomID) const;

    // The stored object; nothing when a number is not finite, a date or URL is invalid or
    // there are no rooms.
    // Absent optional fields are left out, so a group without them has exactly 15 keys.
    std::optional<QJsonObject> toJson() const;
    // Nothing on a missing required key, a value of another JSON type, an unreadable URL or
    // date, a number that does not fit its field, or an empty room list. Optional keys may
    // be missing or null; keys not listed here are ignored.
    static std::optional<SpeakerGroup> fromJson(const QJsonValue& value);

    // The "lastGroups" document: a JSON array of group objects, all or nothing.
    static std::optional<QByteArray> encodeList(const QList<SpeakerGroup>& groups);
    static std::optional<QList<SpeakerGroup>> decodeList(const QByteArray& data);
};
