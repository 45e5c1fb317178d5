#pragma once

#include <QHashFunctions>
#include <QString>

// Which volume-like value a coalescing sender carries.
enum class SentValue {
    groupVolume, // a group's volume, to its coordinator
    roomVolume,  // one room's own volume
    bass,        // one room's bass level
    treble,      // one room's treble level
};

// One sender's value: its kind and the id of its group (`SpeakerGroup::id`) or room (`Room::id`).
struct SenderKey {
    SentValue value;
    QString id;

    friend bool operator==(const SenderKey&, const SenderKey&) = default;
};

inline size_t qHash(const SenderKey& key, size_t seed = 0) noexcept {
    return qHashMulti(seed, static_cast<int>(key.value), key.id);
}
