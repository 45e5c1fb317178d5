#include "ui/panel/RefreshLoop.h"

#include "core/Clock.h"
#include "core/Tasks.h"
#include "household/Household.h"

#include <QPointer>

RefreshLoop::RefreshLoop(Household* household, QObject* parent) : QObject(parent), household_(household) {
    Tasks::detach(run(), "panel refresh loop");
}

QCoro::Task<void> RefreshLoop::run() {
    QPointer<RefreshLoop> self(this);
    QPointer<Household> household(household_);
    while (self && household) {
        ++passes_;
        if (household->visible()) {
            ++refreshes_;
            co_await household->refresh();
            if (!self || !household)
                co_return;
        }
        // Read after the refresh: a refresh may have renewed the subscriptions.
        const auto pause = household->subscriptionsHealthy() ? healthyPause : unhealthyPause;
        co_await Clock::sleep(pause);
    }
}
