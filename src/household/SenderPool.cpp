#include "household/SenderPool.h"

#include <algorithm>

std::shared_ptr<VolumeSender> SenderPool::sender(const SenderKey& key) {
    if (const auto found = senders_.constFind(key); found != senders_.cend())
        return *found;
    auto made = VolumeSender::create(onError_);
    senders_.insert(key, made);
    return made;
}

bool SenderPool::idle() const {
    return std::none_of(senders_.cbegin(), senders_.cend(),
                        [](const std::shared_ptr<VolumeSender>& s) { return s->busy(); });
}
