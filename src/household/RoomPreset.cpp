#include "household/RoomPreset.h"

#include "household/JsonReader.h"
#include "household/JsonWriter.h"
#include "household/StoredList.h"

using namespace Qt::StringLiterals;

QJsonObject RoomPreset::toJson() const {
    JsonWriter out;
    out.uuid("id"_L1, id);
    out.texts("roomIDs"_L1, roomIDs);
    return out.object();
}

std::optional<RoomPreset> RoomPreset::fromJson(const QJsonValue& value) {
    JsonReader in(value);
    RoomPreset preset{.id = in.uuid("id"_L1), .roomIDs = in.texts("roomIDs"_L1)};
    if (!in.ok())
        return std::nullopt;
    return preset;
}

QByteArray RoomPreset::encodeList(const QList<RoomPreset>& presets) {
    // Ids and strings always have a JSON form, so this write cannot fail.
    return *StoredList::encode(presets);
}

std::optional<QList<RoomPreset>> RoomPreset::decodeList(const QByteArray& data) {
    return StoredList::decode<RoomPreset>(data);
}

size_t qHash(const RoomPreset& preset, size_t seed) noexcept {
    return qHashMulti(seed, preset.id, preset.roomIDs);
}
