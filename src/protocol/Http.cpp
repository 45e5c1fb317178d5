#include "protocol/Http.h"

#include "core/Log.h"
#include "protocol/CurlSession.h"
#include "protocol/TransportError.h"

#include <coroutine>

namespace {

// Waits in the coroutine's frame for one transfer of the session. Destroyed before the
// transfer ended (the coroutine was destroyed while suspended), it stops the transfer, so the
// session never resumes a frame that is gone.
class Transfer {
public:
    explicit Transfer(CurlSession::Request request) : request_(std::move(request)) {}
    ~Transfer() {
        if (id_ && !done_)
            CurlSession::cancel(id_);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    void await_suspend(std::coroutine_handle<> handle) {
        id_ =
            CurlSession::instance().start(std::move(request_), [this, handle](CurlSession::Outcome outcome) {
                outcome_ = std::move(outcome);
                done_ = true;
                handle.resume();
            });
    }
    CurlSession::Outcome await_resume() { return std::move(outcome_); }

    // What the coroutine awaits: the transfer itself stays where it is, in the frame.
    struct Awaiter {
        Transfer* transfer;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) { transfer->await_suspend(handle); }
        CurlSession::Outcome await_resume() { return transfer->await_resume(); }
    };
    Awaiter wait() { return {this}; }

private:
    CurlSession::Request request_;
    CurlSession::Outcome outcome_;
    CurlSession::Id id_ = 0;
    bool done_ = false;
};

} // namespace

QByteArray HttpResponse::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

bool HttpResponse::hasHeader(const QByteArray& name) const {
    for (const auto& pair : headers)
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

std::optional<QUrl> Http::url(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.scheme() != QLatin1String("http"))
        return std::nullopt;
    return url;
}

bool Http::isSpeakerUrl(const QUrl& url, const QString& path) {
    return url.port() == 1400 && url.path(QUrl::FullyEncoded) == path && url.userInfo().isEmpty() &&
           !url.hasQuery() && !url.hasFragment();
}

QCoro::Task<HttpResponse> Http::send(QNetworkRequest request, QByteArray verb, QByteArray body,
                                     std::chrono::milliseconds timeout, std::chrono::milliseconds limit) {
    const QUrl target = request.url();
    if (!target.isValid() || target.host().isEmpty() || target.scheme() != QLatin1String("http"))
        throw TransportError(QNetworkReply::ProtocolInvalidOperationError,
                             QStringLiteral("no URL can be formed from \"%1\"").arg(target.toString()));

    CurlSession::Request transferRequest;
    transferRequest.url = target.toEncoded();
    transferRequest.origin = target.host().toUtf8() + ':' + QByteArray::number(target.port(80));
    transferRequest.verb = verb;
    transferRequest.body = std::move(body);
    for (const QByteArray& name : request.rawHeaderList())
        transferRequest.headers.append({name, request.rawHeader(name)});
    transferRequest.idleLimit = timeout;
    transferRequest.callLimit = std::max(limit, timeout);

    Transfer transfer(std::move(transferRequest));
    CurlSession::Outcome outcome = co_await transfer.wait();
    if (!outcome.status) {
        qCDebug(logProtocol) << verb << target.toString() << "failed:" << outcome.message;
        throw TransportError(outcome.error, outcome.message);
    }
    HttpResponse response;
    response.status = *outcome.status;
    response.body = std::move(outcome.body);
    response.headers = std::move(outcome.headers);
    co_return response;
}
