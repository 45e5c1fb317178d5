#pragma once

#include <QCoro/QCoroTask>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

// The coalescing sender of one volume-like value (a group's volume, a room's volume, bass or
// treble): at most one request sequence in flight, every value that arrives meanwhile replaces
// the one waiting, and the newest value handed in is always the last one sent. No timer delays
// anything: traffic is bounded by round trips, not by how fast values arrive.
//
// Held by shared pointer: a running send loop keeps its sender alive, so the owner may go
// while a request is still under way. Main thread only.
class VolumeSender : public std::enable_shared_from_this<VolumeSender> {
public:
    // Sends one value; throws on failure.
    using Operation = std::function<QCoro::Task<void>(int value)>;
    // Called once for every failed operation; the loop then goes on with any newer value.
    using ErrorHandler = std::function<void(std::exception_ptr)>;

    static std::shared_ptr<VolumeSender> create(ErrorHandler onError);

    // Hands in the newest value. When a loop is already running, `operation` is dropped and
    // the running loop sends the value with the operation it started with.
    void send(int value, Operation operation);

    const std::optional<int>& pending() const { return pending_; }
    bool busy() const { return busy_; }

private:
    explicit VolumeSender(ErrorHandler onError) : onError_(std::move(onError)) {}
    QCoro::Task<void> loop(Operation operation);

    std::optional<int> pending_;
    bool busy_ = false;
    ErrorHandler onError_;
};
