#include "household/ChangeLedger.h"

void ChangeLedger::stamp(const ChangeKey& key) {
    stamps_.insert(key, Clock::monotonic());
    count(key);
}

bool ChangeLedger::recent(const ChangeKey& key, Clock::Instant cutoff) const {
    const auto stamp = stamps_.constFind(key);
    return stamp != stamps_.cend() && *stamp > cutoff;
}

bool ChangeLedger::changedSince(const ChangeKey& key, quint64 changesBefore) const {
    const auto number = numbers_.constFind(key);
    return number != numbers_.cend() && *number > changesBefore;
}

bool ChangeLedger::held(const ChangeKey& key, Clock::Instant cutoff,
                        std::optional<quint64> changesBefore) const {
    return recent(key, cutoff) || (changesBefore && changedSince(key, *changesBefore));
}

SpeakerGroup ChangeLedger::merged(const SpeakerGroup& fresh, const SpeakerGroup& shown, Clock::Instant cutoff,
                                  std::optional<quint64> changesBefore) const {
    const auto keeps = [&](ChangedValue value, const QString& id) {
        return held({value, id}, cutoff, changesBefore);
    };
    SpeakerGroup result = fresh;
    const QString& id = fresh.id;
    if (keeps(ChangedValue::state, id))
        result.state = shown.state;
    if (keeps(ChangedValue::volume, id))
        result.volume = shown.volume;
    if (keeps(ChangedValue::mute, id))
        result.muted = shown.muted;
    if (keeps(ChangedValue::position, id)) {
        result.position = shown.position;
        result.positionAt = shown.positionAt;
    }
    if (keeps(ChangedValue::tvSound, id)) {
        result.nightMode = shown.nightMode;
        result.speechBoost = shown.speechBoost;
    }
    if (keeps(ChangedValue::sleepTimer, id)) {
        result.sleepRemaining = shown.sleepRemaining;
        result.sleepAt = shown.sleepAt;
    }
    for (Room& room : result.rooms) {
        const Room* before = shown.room(room.id);
        if (!before)
            continue;
        if (keeps(ChangedValue::roomVolume, room.id))
            room.volume = before->volume;
        if (keeps(ChangedValue::roomMute, room.id))
            room.muted = before->muted;
    }
    return result;
}
