#pragma once

#include "protocol/CurlSession.h"

#include <QObject>

#include <coroutine>

// One transfer of the HTTP session, awaited by a coroutine that keeps this object in its frame:
// `co_await transfer.wait()` starts it and resumes with its outcome. Destroyed before the
// transfer ended (the coroutine was destroyed while suspended), it stops the transfer, so the
// session never resumes a frame that is gone.
class CurlTransfer {
public:
    explicit CurlTransfer(CurlSession::Request request) : request_(std::move(request)) {}
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    // What the coroutine awaits: the transfer itself stays where it is, in the frame.
    struct Awaiter {
        CurlTransfer* transfer;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) { transfer->start(handle); }
        CurlSession::Outcome await_resume() { return std::move(transfer->outcome_); }
    };
    Awaiter wait() { return {this}; }

    // Ends a started wait without an answer: the transfer stops and the coroutine resumes from
    // the event loop, never from inside the caller. Does nothing before the start or after the end.
    void stop();

    // Lives as long as this transfer: a context for connections that call `stop()`.
    QObject* context() { return &context_; }

private:
    void start(std::coroutine_handle<> handle);
    void finish();

    CurlSession::Request request_;
    CurlSession::Outcome outcome_;
    std::coroutine_handle<> handle_;
    QObject context_;
    CurlSession::Id id_ = 0;
    bool done_ = false;
};
