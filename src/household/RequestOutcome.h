#pragma once

#include <exception>
#include <optional>

// The outcome of an operation made of several requests (all joins of "join all", the steps of
// a preset's apply): the first failure wins, and it is reported only once every request has
// finished and the operation has started all of them, so that a request that succeeds later
// cannot wipe an earlier failure. Reported again only after another request finished.
class RequestOutcome {
public:
    void started() {
        ++pending_;
        sent_ = true;
    }
    void finished(const std::exception_ptr& failure) {
        --pending_;
        if (failure && !failure_)
            failure_ = failure;
    }
    // Every request has been started.
    void close() { closed_ = true; }
    // What to show now, once: the first failure, or a null pointer for success; nothing while
    // the outcome is not due.
    std::optional<std::exception_ptr> due() {
        if (pending_ != 0 || !closed_ || !sent_)
            return std::nullopt;
        sent_ = false;
        return failure_;
    }

private:
    int pending_ = 0;
    bool closed_ = false;
    bool sent_ = false; // a request finished since the last report
    std::exception_ptr failure_;
};
