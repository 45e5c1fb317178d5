#include "core/RenderMode.h"

#include "core/Clock.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
std::atomic<bool> renderActive{false};
double sceneTime = 0;
double loginAmount = 1.0;
} // namespace

namespace RenderMode {

bool active() {
    return renderActive.load(std::memory_order_relaxed);
}

void setActive() {
    renderActive.store(true, std::memory_order_relaxed);
}

double time() {
    return sceneTime;
}

void setTime(double seconds) {
    sceneTime = std::isfinite(seconds) ? seconds : 0;
}

double login() {
    return loginAmount;
}

void setLogin(double amount) {
    loginAmount = std::isfinite(amount) ? std::clamp(amount, 0.0, 1.0) : 1.0;
}

QDateTime epoch() {
    // 799,999,997.8 s after 2001-01-01 00:00:00 UTC.
    static const QDateTime instant =
        QDateTime::fromMSecsSinceEpoch(978'307'200'000 + 799'999'997'800, Qt::UTC);
    return instant;
}

QDateTime now() {
    if (!active())
        return Clock::now();
    return epoch().addMSecs(std::llround(sceneTime * 1000));
}

} // namespace RenderMode
