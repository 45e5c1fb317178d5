#pragma once

// How this program runs coroutines (QCoro tasks on the main thread).
//
// 1. Starting a task without awaiting it. A QCoro task starts at once and, when nobody awaits
//    it, runs on to its end by itself; an exception it throws is then silently dropped. Every
//    such start goes through Tasks::detach, so a reader sees that the call does not wait and
//    a failure that escapes is logged:
//        Tasks::detach(household.refresh(), "refresh after the wake");
//    Calling a task-returning function and dropping the result is not done.
//
// 2. After every co_await, the object the coroutine belongs to may be gone. A member
//    coroutine takes a QPointer to `this` before its first wait and checks it after each one:
//        QPointer<Household> self(this);
//        co_await Clock::sleep(Delays::afterSkipRefresh);
//        if (!self)
//            co_return;
//    Code that is not itself a coroutine ties the continuation to a context object instead,
//    which Qt drops together with the object:
//        QCoro::connect(household.loadSound(room), this, [this](auto sound) { show(sound); });
//    Values a coroutine needs after a wait are copied into it (parameters by value, captures
//    by value), never borrowed from an object that may go meanwhile.
//
// 3. Waiting on time goes through the one clock (co_await Clock::sleep(...), core/Clock.h), so
//    tests move it by hand.

#include <QCoro/QCoroTask>
#include <QDebug>
#include <QLoggingCategory>

#include <exception>

namespace Tasks {

namespace detail {
Q_DECLARE_LOGGING_CATEGORY(logTasks)
} // namespace detail

// Lets `task` run on to its end without waiting for it. `what` names it in the log should it
// end with an exception.
template <typename T> void detach(QCoro::Task<T>&& task, const char* what) {
    [](QCoro::Task<T> inner, const char* name) -> QCoro::Task<void> {
        try {
            co_await std::move(inner);
        } catch (const std::exception& error) {
            qCWarning(detail::logTasks) << "detached task" << name << "failed:" << error.what();
        } catch (...) {
            qCWarning(detail::logTasks) << "detached task" << name << "failed";
        }
    }(std::move(task), what);
}

} // namespace Tasks
