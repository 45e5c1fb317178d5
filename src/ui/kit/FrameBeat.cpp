#include "ui/kit/FrameBeat.h"

#include <vector>

FrameBeat& FrameBeat::instance() {
    static FrameBeat beat;
    return beat;
}

FrameBeat::Id FrameBeat::listen(QObject* context, std::function<void()> step) {
    FrameBeat& self = instance();
    const Id id = self.nextId_++;
    self.listeners_.emplace(id, Listener{context, std::move(step)});
    self.arm();
    return id;
}

void FrameBeat::stop(Id id) {
    FrameBeat& self = instance();
    self.listeners_.erase(id);
    if (self.listeners_.empty()) {
        Clock::cancel(self.tick_);
        self.tick_ = 0;
    }
}

int FrameBeat::listeners() {
    return static_cast<int>(instance().listeners_.size());
}

void FrameBeat::arm() {
    // The clock drops what is pending when it switches between real and manual time: a beat
    // lost that way is started again.
    if (listeners_.empty() || Clock::isPending(tick_))
        return;
    tick_ = Clock::schedule(interval, nullptr, [this] { beat(); });
}

void FrameBeat::beat() {
    tick_ = 0;
    // A step may stop itself or others, or start new listeners (they join on the next beat).
    std::vector<Id> due;
    due.reserve(listeners_.size());
    for (const auto& [id, listener] : listeners_)
        due.push_back(id);
    for (const Id id : due) {
        auto it = listeners_.find(id);
        if (it == listeners_.end())
            continue;
        if (!it->second.context) {
            listeners_.erase(it);
            continue;
        }
        const std::function<void()> step = it->second.step;
        step();
    }
    arm();
}
