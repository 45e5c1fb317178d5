#include "household/Room.h"

#include "household/JsonReader.h"
#include "household/JsonWriter.h"

using namespace Qt::StringLiterals;

QJsonObject Room::toJson() const {
    JsonWriter out;
    out.text("id"_L1, id);
    out.text("name"_L1, name);
    out.text("host"_L1, host);
    out.integer("volume"_L1, volume);
    out.boolean("muted"_L1, muted);
    return out.object();
}

std::optional<Room> Room::fromJson(const QJsonValue& value) {
    JsonReader in(value);
    Room room{
        .id = in.text("id"_L1),
        .name = in.text("name"_L1),
        .host = in.text("host"_L1),
        .volume = in.integer("volume"_L1),
        .muted = in.boolean("muted"_L1),
    };
    if (!in.ok())
        return std::nullopt;
    return room;
}

size_t qHash(const Room& room, size_t seed) noexcept {
    return qHashMulti(seed, room.id, room.name, room.host, room.volume, room.muted);
}
