#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QUuid>

#include <optional>

// A saved set of rooms to group. `RoomPreset{.roomIDs = ids}` gets a fresh random id.
// Equality takes the id and the room ids in their saved order; whether a preset matches a
// group is a question of sets, which its callers ask themselves.
struct RoomPreset {
    QUuid id = QUuid::createUuid();
    QStringList roomIDs{}; // Room::id values, in the order of the saved group

    friend bool operator==(const RoomPreset&, const RoomPreset&) = default;

    // The stored object: "id" as an upper-case canonical UUID and "roomIDs" as strings.
    QJsonObject toJson() const;
    // Both keys are required; the id must be a canonical 8-4-4-4-12 UUID (either case).
    static std::optional<RoomPreset> fromJson(const QJsonValue& value);

    // The "roomPresets" document: a JSON array of preset objects, all or nothing.
    static QByteArray encodeList(const QList<RoomPreset>& presets);
    static std::optional<QList<RoomPreset>> decodeList(const QByteArray& data);
};

size_t qHash(const RoomPreset& preset, size_t seed = 0) noexcept;
