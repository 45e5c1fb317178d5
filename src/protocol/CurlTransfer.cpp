#include "protocol/CurlTransfer.h"

#include <QMetaObject>

CurlTransfer::~CurlTransfer() {
    if (id_ && !done_)
        CurlSession::cancel(id_);
}

void CurlTransfer::start(std::coroutine_handle<> handle) {
    handle_ = handle;
    id_ = CurlSession::instance().start(std::move(request_), [this](CurlSession::Outcome outcome) {
        outcome_ = std::move(outcome);
        finish();
    });
}

void CurlTransfer::stop() {
    if (!id_ || done_)
        return;
    CurlSession::cancel(id_);
    QMetaObject::invokeMethod(
        &context_, [this] { finish(); }, Qt::QueuedConnection);
}

void CurlTransfer::finish() {
    if (done_)
        return;
    done_ = true;
    handle_.resume();
}
