#pragma once

#include <QCoro/QCoroTask>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace test {

// Thrown when a task has not finished within the safety limit (a hung test, not a timing check).
struct TaskHung : std::runtime_error {
    TaskHung() : std::runtime_error("task did not finish within the safety limit") {}
};

namespace detail {
template <typename T>
QCoro::Task<void> drive(QCoro::Task<T> task,
                        std::optional<std::conditional_t<std::is_void_v<T>, bool, T>>& out,
                        std::exception_ptr& error, bool& done, QEventLoop* loop) {
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(task);
            out = true;
        } else {
            out = co_await std::move(task);
        }
    } catch (...) {
        error = std::current_exception();
    }
    done = true;
    loop->quit();
}
} // namespace detail

// Runs the event loop until `task` ends and gives its result (or rethrows its exception).
template <typename T> T run(QCoro::Task<T> task, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> out;
    std::exception_ptr error;
    bool done = false;
    QEventLoop loop;
    auto driver = detail::drive<T>(std::move(task), out, error, done, &loop);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(limit);
    if (!done)
        loop.exec();
    if (!done)
        throw TaskHung();
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*out);
}

// Processes events until `condition` holds; false when the safety limit passed first.
template <typename F>
bool waitUntil(F condition, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    if (condition())
        return true;
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    guard.start(limit);
    poll.start(2);
    loop.exec();
    return condition();
}

} // namespace test
