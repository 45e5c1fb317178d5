#pragma once

#include <optional>
#include <utility>

namespace sim {

// The last value made, with what it was made from: made anew only when that differs. For the
// large answers a household asks all its fake speakers for at once (one per server thread).
template <typename Key, typename Value> class LastMade {
public:
    // The value for `key`: the last one when its key is equal, else what `make` gives.
    template <typename Make> const Value& value(Key key, Make make) {
        if (!last_ || last_->first != key)
            last_.emplace(std::move(key), make());
        return last_->second;
    }

private:
    std::optional<std::pair<Key, Value>> last_;
};

} // namespace sim
