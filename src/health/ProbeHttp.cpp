#include "health/ProbeHttp.h"

#include "core/Delays.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

#include <coroutine>

namespace {

// Resumes the awaiting coroutine once the reply has finished, always queued, never from
// inside abort().
struct Finished {
    QNetworkReply* reply;
    bool await_ready() const noexcept { return reply->isFinished(); }
    void await_suspend(std::coroutine_handle<> handle) const {
        QObject::connect(
            reply, &QNetworkReply::finished, reply, [handle] { handle.resume(); },
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
    }
    void await_resume() const noexcept {}
};

} // namespace

namespace ProbeHttp {

QNetworkAccessManager& session() {
    static QPointer<QNetworkAccessManager> manager;
    if (!manager) {
        manager = new QNetworkAccessManager(QCoreApplication::instance());
        // Speakers are on the local network: a proxy from the environment would only be in the way.
        manager->setProxy(QNetworkProxy::NoProxy);
        // Redirects are answers like any other status; they are not followed.
        manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        manager->setAutoDeleteReplies(false);
    }
    return *manager;
}

QCoro::Task<std::optional<HttpResponse>> send(QNetworkRequest request, QByteArray verb, QByteArray body,
                                              std::chrono::milliseconds idle, std::chrono::milliseconds total,
                                              ProbeCancel* cancel) {
    if (cancel && cancel->cancelled())
        co_return std::nullopt;
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(0);
    QNetworkAccessManager& manager = session();
    QNetworkReply* reply = body.isEmpty() ? manager.sendCustomRequest(request, verb)
                                          : manager.sendCustomRequest(request, verb, body);

    // Both limits and the cancel abort the reply themselves; Qt's own time-out is not used.
    QTimer idleTimer;
    idleTimer.setSingleShot(true);
    QTimer totalTimer;
    totalTimer.setSingleShot(true);
    QObject::connect(&idleTimer, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(&totalTimer, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::uploadProgress, &idleTimer, [&idleTimer] { idleTimer.start(); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, &idleTimer,
                     [&idleTimer] { idleTimer.start(); });
    QMetaObject::Connection cancelled;
    if (cancel)
        cancelled = QObject::connect(cancel, &ProbeCancel::triggered, reply, &QNetworkReply::abort);
    idleTimer.start(idle);
    totalTimer.start(total);

    co_await Finished{reply};
    idleTimer.stop();
    totalTimer.stop();
    QObject::disconnect(cancelled);

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    std::optional<HttpResponse> response;
    if (status.isValid() && reply->error() != QNetworkReply::OperationCanceledError) {
        response = HttpResponse{};
        response->status = status.toInt();
        response->body = reply->readAll();
        response->headers = reply->rawHeaderPairs();
    }
    reply->deleteLater();
    co_return response;
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
