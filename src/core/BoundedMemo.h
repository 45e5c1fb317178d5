#pragma once

#include <QHash>

#include <optional>

// Values worked out from their key alone, remembered: for a thread's memo of what the program
// reads again and again (the same few speakers' addresses). It is cleared whole when it holds
// `bound` entries, rather than grow while hosts come and go. One thread only.
template <typename Key, typename Value, qsizetype bound = 1024> class BoundedMemo {
public:
    // The remembered value of `key`, else what `make` gives (a std::optional<Value>), which is
    // remembered when present.
    template <typename Make> std::optional<Value> value(const Key& key, Make make) {
        if (const auto found = values_.constFind(key); found != values_.cend())
            return *found;
        std::optional<Value> made = make();
        if (!made)
            return made;
        if (values_.size() >= bound)
            values_.clear();
        values_.insert(key, *made);
        return made;
    }

private:
    QHash<Key, Value> values_;
};
