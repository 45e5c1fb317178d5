#include "ui/panel/RefreshLoop.h"

#include "core/Clock.h"
#include "core/Tasks.h"
#include "household/Household.h"

#include <QPointer>

RefreshLoop::RefreshLoop(Household* household, QObject* parent) : QObject(parent), household_(household) {
    pass();
}

// One pass: a refresh while the panel is open, then the pause. The pause is a scheduled call
// owned by this object rather than a suspended coroutine, so that nothing is left waiting
// when the loop (or the program) ends.
void RefreshLoop::pass() {
    if (!household_)
        return;
    ++passes_;
    if (household_->visible()) {
        ++refreshes_;
        Tasks::detach(refreshThenPause(), "panel refresh");
    } else {
        pause();
    }
}

QCoro::Task<void> RefreshLoop::refreshThenPause() {
    QPointer<RefreshLoop> self(this);
    QPointer<Household> household(household_);
    co_await household->refresh();
    if (self && household)
        self->pause();
}

void RefreshLoop::pause() {
    // Read after the refresh: a refresh may have renewed the subscriptions.
    const auto wait = household_->subscriptionsHealthy() ? healthyPause : unhealthyPause;
    Clock::schedule(wait, this, [this] { pass(); });
}
