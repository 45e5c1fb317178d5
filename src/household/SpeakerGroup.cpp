#include "household/SpeakerGroup.h"

#include "household/JsonReader.h"
#include "household/JsonWriter.h"
#include "household/StoredList.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

Room SpeakerGroup::coordinator() const {
    if (const Room* match = room(coordinatorID))
        return *match;
    return rooms.isEmpty() ? Room{} : rooms.first();
}

const Room* SpeakerGroup::room(const QString& roomID) const {
    const auto match =
        std::find_if(rooms.cbegin(), rooms.cend(), [&](const Room& r) { return r.id == roomID; });
    return match == rooms.cend() ? nullptr : &*match;
}

QString SpeakerGroup::memberKey() const {
    QStringList ids;
    ids.reserve(rooms.size());
    for (const Room& room : rooms)
        ids.append(room.id);
    // Plain code-unit order, independent of the locale.
    std::sort(ids.begin(), ids.end());
    return ids.join(u',');
}

std::optional<QJsonObject> SpeakerGroup::toJson() const {
    JsonWriter out;
    out.text("id"_L1, id);
    out.text("coordinatorID"_L1, coordinatorID);
    out.array("rooms"_L1, *StoredList::toJson(rooms));
    out.text("state"_L1, state);
    out.text("title"_L1, title);
    out.text("artist"_L1, artist);
    out.url("artURL"_L1, artURL);
    out.url("spotifyURL"_L1, spotifyURL);
    out.url("appleMusicURL"_L1, appleMusicURL);
    out.boolean("viaAirPlay"_L1, viaAirPlay);
    out.boolean("viaTV"_L1, viaTV);
    out.boolean("canSkip"_L1, canSkip);
    out.integer("tvFormat"_L1, tvFormat);
    out.boolean("nightMode"_L1, nightMode);
    out.boolean("speechBoost"_L1, speechBoost);
    out.text("tvHost"_L1, tvHost);
    out.boolean("hasTrack"_L1, hasTrack);
    out.integer("volume"_L1, volume);
    out.boolean("muted"_L1, muted);
    out.number("position"_L1, position);
    out.date("positionAt"_L1, positionAt);
    out.number("duration"_L1, duration);
    out.number("sleepRemaining"_L1, sleepRemaining);
    out.date("sleepAt"_L1, sleepAt);
    // A group without rooms would be written into a document that no read accepts.
    if (!out.ok() || rooms.isEmpty())
        return std::nullopt;
    return out.object();
}

std::optional<SpeakerGroup> SpeakerGroup::fromJson(const QJsonValue& value) {
    JsonReader in(value);
    const std::optional<QList<Room>> rooms = StoredList::fromJson<Room>(in.array("rooms"_L1));
    // An empty member list would break the one-room minimum that coordinator() relies on;
    // it never comes from a write of ours, so the document is treated as damaged.
    if (!rooms || rooms->isEmpty())
        in.fail();
    SpeakerGroup group{
        .id = in.text("id"_L1),
        .coordinatorID = in.text("coordinatorID"_L1),
        .rooms = rooms.value_or(QList<Room>()),
        .state = in.text("state"_L1),
        .title = in.text("title"_L1),
        .artist = in.text("artist"_L1),
        .artURL = in.optionalUrl("artURL"_L1),
        .spotifyURL = in.optionalUrl("spotifyURL"_L1),
        .appleMusicURL = in.optionalUrl("appleMusicURL"_L1),
        .viaAirPlay = in.boolean("viaAirPlay"_L1),
        .viaTV = in.boolean("viaTV"_L1),
        .canSkip = in.boolean("canSkip"_L1),
        .tvFormat = in.optionalInteger("tvFormat"_L1),
        .nightMode = in.optionalBoolean("nightMode"_L1),
        .speechBoost = in.optionalBoolean("speechBoost"_L1),
        .tvHost = in.optionalText("tvHost"_L1),
        .hasTrack = in.boolean("hasTrack"_L1),
        .volume = in.integer("volume"_L1),
        .muted = in.boolean("muted"_L1),
        .position = in.number("position"_L1),
        .positionAt = in.date("positionAt"_L1),
        .duration = in.optionalNumber("duration"_L1),
        .sleepRemaining = in.optionalNumber("sleepRemaining"_L1),
        .sleepAt = in.date("sleepAt"_L1),
    };
    if (!in.ok())
        return std::nullopt;
    return group;
}

std::optional<QByteArray> SpeakerGroup::encodeList(const QList<SpeakerGroup>& groups) {
    return StoredList::encode(groups);
}

std::optional<QList<SpeakerGroup>> SpeakerGroup::decodeList(const QByteArray& data) {
    return StoredList::decode<SpeakerGroup>(data);
}
