#pragma once

#include <QHashFunctions>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// One speaker room as the user sees it. A value: two values of the same room with different
// volumes are different values, so code that looks for the same room compares `id`.
// `id` and `host` never change for a room; `name`, `volume` and `muted` follow the speaker.
struct Room {
    QString id{};   // the speaker's UUID from the topology; the key of the room everywhere
    QString name{}; // the room name shown to the user
    QString host{}; // the speaker's host (normally an IPv4 address); requests go to its port 1400
    int volume = 0; // 0 to 100
    bool muted = false;

    friend bool operator==(const Room&, const Room&) = default;

    // The stored form: an object with the five keys "id", "name", "host", "volume", "muted".
    QJsonObject toJson() const;
    // All five keys are required with their JSON types; anything else gives nothing.
    static std::optional<Room> fromJson(const QJsonValue& value);
};

size_t qHash(const Room& room, size_t seed = 0) noexcept;
