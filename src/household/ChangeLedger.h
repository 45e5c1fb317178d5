#pragma once

#include "core/Clock.h"
#include "household/ChangeKey.h"
#include "household/SpeakerGroup.h"

#include <QHash>

#include <optional>

// What the household knows of the changes of its published values, key by key: when the user
// last changed each one here (for the 2 s during which older speaker values must not overwrite
// it), and the running number of every change, local or taken from an event, so that a poll
// begun before a change cannot put its older reading back. It also holds the rule that merges
// a freshly read group with the published one under these records.
class ChangeLedger {
public:
    // A local change of the value under `key`, now; it counts as a change too.
    void stamp(const ChangeKey& key);
    // A change taken from the speakers: counted, not protected for the 2 s.
    void count(const ChangeKey& key) { numbers_.insert(key, ++count_); }
    // The number of the last change counted; a poll notes it as it begins.
    quint64 changes() const { return count_; }

    // The user changed the value after `cutoff`.
    bool recent(const ChangeKey& key, Clock::Instant cutoff) const;
    // The value changed after the first `changesBefore` changes.
    bool changedSince(const ChangeKey& key, quint64 changesBefore) const;
    // The value stays as shown: changed by the user after `cutoff`, or changed at all after
    // `changesBefore` when a poll's number is given.
    bool held(const ChangeKey& key, Clock::Instant cutoff, std::optional<quint64> changesBefore) const;

    // `fresh` with every value that is held taken from `shown`, each value on its own; rooms
    // are matched by id. `shown` is the published group of the same id.
    SpeakerGroup merged(const SpeakerGroup& fresh, const SpeakerGroup& shown, Clock::Instant cutoff,
                        std::optional<quint64> changesBefore) const;

    // The local stamps, for tests that set or compare them.
    QHash<ChangeKey, Clock::Instant>& stamps() { return stamps_; }

private:
    QHash<ChangeKey, Clock::Instant> stamps_;
    QHash<ChangeKey, quint64> numbers_;
    quint64 count_ = 0;
};
