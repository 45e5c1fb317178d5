#include "core/Clock.h"

#include <QCoreApplication>
#include <QTimer>

#include <map>

namespace {

struct Pending {
    Clock::Instant due;
    QPointer<QObject> context;
    bool hasContext = false;
    std::function<void()> fn;
    QTimer* timer = nullptr; // real mode only
};

struct State {
    bool manual = false;
    QDateTime manualNow;
    Clock::Instant manualMonotonic;
    Clock::Id nextId = 1;
    std::map<Clock::Id, Pending> pending;
};

State& state() {
    static State s;
    return s;
}

void fire(Clock::Id id) {
    auto& s = state();
    auto it = s.pending.find(id);
    if (it == s.pending.end())
        return;
    Pending p = std::move(it->second);
    s.pending.erase(it);
    if (p.timer)
        p.timer->deleteLater();
    if (p.hasContext && !p.context)
        return;
    p.fn();
}

QObject* timerParent() {
    return QCoreApplication::instance();
}

} // namespace

QDateTime Clock::now() {
    auto& s = state();
    return s.manual ? s.manualNow : QDateTime::currentDateTimeUtc();
}

Clock::Instant Clock::monotonic() {
    auto& s = state();
    return s.manual ? s.manualMonotonic : std::chrono::steady_clock::now();
}

Clock::Id Clock::schedule(std::chrono::milliseconds delay, QObject* context, std::function<void()> fn) {
    auto& s = state();
    const Id id = s.nextId++;
    Pending p;
    p.due = monotonic() + delay;
    p.context = context;
    p.hasContext = context != nullptr;
    p.fn = std::move(fn);
    if (!s.manual) {
        p.timer = new QTimer(timerParent());
        p.timer->setSingleShot(true);
        p.timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(p.timer, &QTimer::timeout, [id] { fire(id); });
        p.timer->start(std::max<std::chrono::milliseconds>(delay, std::chrono::milliseconds(0)));
    }
    s.pending.emplace(id, std::move(p));
    return id;
}

void Clock::cancel(Id id) {
    auto& s = state();
    auto it = s.pending.find(id);
    if (it == s.pending.end())
        return;
    if (it->second.timer) {
        it->second.timer->stop();
        it->second.timer->deleteLater();
    }
    s.pending.erase(it);
}

void Clock::Sleep::await_suspend(std::coroutine_handle<> handle) const {
    Clock::schedule(delay, nullptr, [handle] { handle.resume(); });
}

void Clock::useManual(const QDateTime& start) {
    auto& s = state();
    for (auto& [id, p] : s.pending)
        if (p.timer) {
            p.timer->stop();
            p.timer->deleteLater();
            p.timer = nullptr;
        }
    s.manual = true;
    s.manualNow = start.toUTC();
    // Manual monotonic time starts far from zero, so that stamps "long ago" stay representable.
    s.manualMonotonic = Instant(std::chrono::hours(24 * 365));
}

void Clock::setWallClock(const QDateTime& wall) {
    auto& s = state();
    if (s.manual)
        s.manualNow = wall.toUTC();
}

void Clock::useReal() {
    auto& s = state();
    s.manual = false;
    // Anything still pending from manual time is dropped: it belonged to a finished test.
    for (auto& [id, p] : s.pending)
        if (p.timer)
            p.timer->deleteLater();
    s.pending.clear();
}

bool Clock::isManual() {
    return state().manual;
}

void Clock::advance(std::chrono::milliseconds by) {
    auto& s = state();
    if (!s.manual)
        return;
    // Monotonic time never goes back: a step back moves the wall clock alone.
    if (by.count() < 0) {
        s.manualNow = s.manualNow.addMSecs(by.count());
        return;
    }
    const Instant target = s.manualMonotonic + by;
    // Fire due calls one at a time in due order; a call may schedule further ones.
    for (;;) {
        Id next = 0;
        Instant nextDue;
        for (const auto& [id, p] : s.pending)
            if (p.due <= target && (next == 0 || p.due < nextDue)) {
                next = id;
                nextDue = p.due;
            }
        if (next == 0)
            break;
        if (nextDue > s.manualMonotonic) {
            s.manualNow = s.manualNow.addMSecs(
                std::chrono::duration_cast<std::chrono::milliseconds>(nextDue - s.manualMonotonic).count());
            s.manualMonotonic = nextDue;
        }
        fire(next);
    }
    s.manualNow = s.manualNow.addMSecs(
        std::chrono::duration_cast<std::chrono::milliseconds>(target - s.manualMonotonic).count());
    s.manualMonotonic = target;
}

int Clock::pendingCount() {
    return static_cast<int>(state().pending.size());
}

bool Clock::isPending(Id id) {
    return id != 0 && state().pending.contains(id);
}

void Debounce::start(std::chrono::milliseconds delay, std::function<void()> fn) {
    stop();
    id_ = Clock::schedule(delay, context_, [this, fn = std::move(fn)] {
        id_ = 0;
        fn();
    });
}

void Debounce::stop() {
    if (id_ != 0) {
        Clock::cancel(id_);
        id_ = 0;
    }
}
