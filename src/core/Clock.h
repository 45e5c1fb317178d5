#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <coroutine>
#include <cstdint>
#include <functional>

// The one source of "now" and of delayed work. In the program it follows the wall clock and
// Qt's timers; tests switch it to manual time and move it forward, which fires every delayed
// call that falls due, in order, without sleeping.
//
// `now()` is the wall clock, for moments shown or stored as dates. Every duration and every
// stamp that is compared with a later moment uses `monotonic()`, which setting the system
// clock does not move.
class Clock {
public:
    using Id = std::uint64_t;
    using Instant = std::chrono::steady_clock::time_point;

    static QDateTime now();
    static Instant monotonic();

    // Runs `fn` on the main thread after `delay`, unless `context` is gone by then or the
    // returned id is cancelled first.
    static Id schedule(std::chrono::milliseconds delay, QObject* context, std::function<void()> fn);
    static void cancel(Id id);

    // Awaitable pause of a coroutine on the same clock: `co_await Clock::sleep(500ms);`.
    struct Sleep {
        std::chrono::milliseconds delay;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) const;
        void await_resume() const noexcept {}
    };
    static Sleep sleep(std::chrono::milliseconds delay) { return Sleep{delay}; }

    // Test controls.
    static void useManual(const QDateTime& start = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC));
    static void useReal();
    static bool isManual();
    // Moves both clocks forward, firing what falls due on the way; a negative step moves the
    // wall clock alone, as `setWallClock` does.
    static void advance(std::chrono::milliseconds by);
    // Sets the wall clock alone, as a user or a time service setting the system clock does;
    // monotonic time and delayed calls do not move.
    static void setWallClock(const QDateTime& wall);
    static int pendingCount();
    // Whether the call `id` is still waiting (not yet fired, cancelled or dropped).
    static bool isPending(Id id);
};

// A restartable single-shot timer on the clock: starting it again replaces the pending call.
class Debounce {
public:
    explicit Debounce(QObject* context) : context_(context) {}
    ~Debounce() { stop(); }
    Debounce(const Debounce&) = delete;
    Debounce& operator=(const Debounce&) = delete;

    void start(std::chrono::milliseconds delay, std::function<void()> fn);
    void stop();
    bool isActive() const { return id_ != 0; }

private:
    QObject* context_;
    Clock::Id id_ = 0;
};
