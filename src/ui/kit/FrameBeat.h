#pragma once

#include "core/Clock.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>

// The one frame beat of everything that moves on its own in the panel (the playing waves, a
// scrolling title). Each steps on the same beat, so what moves at the same time is repainted
// in one pass, at most 30 times a second, instead of once for each on its own timer. The beat
// runs on core/Clock, only while someone listens.
class FrameBeat {
public:
    using Id = std::uint64_t;
    static constexpr auto interval = std::chrono::milliseconds(34);

    // Calls `step` on every beat from the next one on, until `stop(id)` or `context` is gone.
    static Id listen(QObject* context, std::function<void()> step);
    static void stop(Id id);
    static int listeners();

private:
    struct Listener {
        QPointer<QObject> context;
        std::function<void()> step;
    };
    static FrameBeat& instance();
    void arm();
    void beat();

    std::map<Id, Listener> listeners_;
    Id nextId_ = 1;
    Clock::Id tick_ = 0;
};
