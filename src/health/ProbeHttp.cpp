#include "health/ProbeHttp.h"

#include "core/Delays.h"
#include "protocol/CurlSession.h"

#include <QMetaObject>

#include <algorithm>
#include <coroutine>

namespace {

// Waits in the coroutine's frame for one transfer of the client, or for the cancel. Destroyed
// while the transfer runs (the coroutine was destroyed while suspended), it stops the transfer;
// its own context object takes any resume still queued with it, so nothing touches a frame
// that is gone.
class Transfer {
public:
    Transfer(CurlSession::Request request, ProbeCancel* cancel)
        : request_(std::move(request)), cancel_(cancel) {}
    ~Transfer() {
        if (id_ && !done_)
            CurlSession::cancel(id_);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // What the coroutine awaits: the transfer itself stays where it is, in the frame.
    struct Awaiter {
        Transfer* transfer;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) { transfer->start(handle); }
        CurlSession::Outcome await_resume() { return std::move(transfer->outcome_); }
    };
    Awaiter wait() { return {this}; }

private:
    void start(std::coroutine_handle<> handle) {
        id_ =
            CurlSession::instance().start(std::move(request_), [this, handle](CurlSession::Outcome outcome) {
                outcome_ = std::move(outcome);
                finish(handle);
            });
        if (cancel_)
            QObject::connect(cancel_, &ProbeCancel::triggered, &context_, [this, handle] {
                CurlSession::cancel(id_);
                // Resumed from the event loop, never from inside the cancel of another probe.
                QMetaObject::invokeMethod(
                    &context_, [this, handle] { finish(handle); }, Qt::QueuedConnection);
            });
    }
    void finish(std::coroutine_handle<> handle) {
        if (done_)
            return;
        done_ = true;
        if (cancel_)
            QObject::disconnect(cancel_, nullptr, &context_, nullptr);
        handle.resume();
    }

    CurlSession::Request request_;
    ProbeCancel* cancel_;
    QObject context_;
    CurlSession::Outcome outcome_;
    CurlSession::Id id_ = 0;
    bool done_ = false;
};

} // namespace

namespace ProbeHttp {

QCoro::Task<std::optional<HttpResponse>> send(QNetworkRequest request, QByteArray verb, QByteArray body,
                                              std::chrono::milliseconds idle, std::chrono::milliseconds total,
                                              ProbeCancel* cancel) {
    if (cancel && cancel->cancelled())
        co_return std::nullopt;
    const QUrl target = request.url();
    if (!target.isValid() || target.host().isEmpty() || target.scheme() != QLatin1String("http"))
        co_return std::nullopt;
    CurlSession::Request transferRequest;
    transferRequest.url = target.toEncoded();
    transferRequest.origin = target.host().toUtf8() + ':' + QByteArray::number(target.port(80));
    transferRequest.verb = std::move(verb);
    transferRequest.body = std::move(body);
    for (const QByteArray& name : request.rawHeaderList())
        transferRequest.headers.append({name, request.rawHeader(name)});
    transferRequest.idleLimit = idle;
    transferRequest.callLimit = total;

    Transfer transfer(std::move(transferRequest), cancel);
    CurlSession::Outcome outcome = co_await transfer.wait();
    if (!outcome.status || (cancel && cancel->cancelled()))
        co_return std::nullopt;
    co_return HttpResponse{*outcome.status, std::move(outcome.body), std::move(outcome.headers)};
}

QCoro::Task<std::optional<Fields>> soap(QString host, Service service, QString action, SOAP::Arguments args,
                                        ProbeCancel* cancel) {
    const auto url =
        Http::url(QStringLiteral("http://") + host + QStringLiteral(":1400") + controlPath(service));
    if (!url || !Http::isSpeakerUrl(*url, controlPath(service)))
        co_return std::nullopt;
    QNetworkRequest request(*url);
    request.setRawHeader("Content-Type", "text/xml; charset=\"utf-8\"");
    request.setRawHeader("SOAPACTION", SOAP::soapAction(service, action));
    const std::optional<HttpResponse> response =
        co_await send(request, "POST", SOAP::envelope(service, action, args), Delays::requestTimeout,
                      std::chrono::hours(1), cancel);
    // An answer that came in after the cancel is not read: nobody wants it any more.
    if (!response || response->status != 200 || (cancel && cancel->cancelled()))
        co_return std::nullopt;
    co_return LeafParser::parse(response->body);
}

} // namespace ProbeHttp
