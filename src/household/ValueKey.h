#pragma once

#include <QHashFunctions>
#include <QString>

// A value of one group or room, named by its kind (an enumeration) and the id of its group
// (`SpeakerGroup::id`) or room (`Room::id`). The household keeps records and senders per value
// under such keys, typed by what the record is about.
template <typename Kind> struct ValueKey {
    Kind value;
    QString id;

    friend bool operator==(const ValueKey&, const ValueKey&) = default;
};

template <typename Kind> size_t qHash(const ValueKey<Kind>& key, size_t seed = 0) noexcept {
    return qHashMulti(seed, static_cast<int>(key.value), key.id);
}
