#include "protocol/Http.h"

#include "core/Log.h"
#include "protocol/TransportError.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <coroutine>

namespace {

// Resumes the awaiting coroutine once the reply has finished, always from the event loop
// (queued), never from inside abort() or another emitter still on the stack.
struct ReplyFinished {
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

QNetworkAccessManager* Http::makeManager(QObject* parent) {
    auto* manager = new QNetworkAccessManager(parent);
    // Speakers are on the local network: a proxy from the environment would only be in the way.
    manager->setProxy(QNetworkProxy::NoProxy);
    // Redirects are answers like any other status; they are not followed.
    manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    manager->setAutoDeleteReplies(false);
    return manager;
}

QNetworkAccessManager& Http::shared() {
    static QPointer<QNetworkAccessManager> manager;
    Q_ASSERT(QCoreApplication::instance());
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    if (!manager)
        manager = makeManager(QCoreApplication::instance());
    return *manager;
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
                                     std::chrono::milliseconds timeout) {
    co_return co_await send(shared(), std::move(request), std::move(verb), std::move(body), timeout);
}

QCoro::Task<HttpResponse> Http::send(QNetworkAccessManager& manager, QNetworkRequest request, QByteArray verb,
                                     QByteArray body, std::chrono::milliseconds timeout) {
    const QUrl target = request.url();
    if (!target.isValid() || target.host().isEmpty())
        throw TransportError(QNetworkReply::ProtocolInvalidOperationError,
                             QStringLiteral("no URL can be formed from \"%1\"").arg(target.toString()));

    // Nothing kept between requests: no cookies read or stored, no cache.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(0);

    QNetworkReply* reply = body.isEmpty() ? manager.sendCustomRequest(request, verb)
                                          : manager.sendCustomRequest(request, verb, body);

    bool timedOut = false;
    QTimer idle;
    idle.setSingleShot(true);
    QObject::connect(&idle, &QTimer::timeout, reply, [reply, &timedOut] {
        timedOut = true;
        reply->abort();
    });
    // The limit counts from the last sign of progress, as an idle time-out does.
    QObject::connect(reply, &QNetworkReply::uploadProgress, &idle, [&idle] { idle.start(); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, &idle, [&idle] { idle.start(); });
    QObject::connect(reply, &QNetworkReply::finished, &idle, &QTimer::stop);
    idle.start(timeout);

    co_await ReplyFinished{reply};
    idle.stop();

    HttpResponse response;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        const auto kind = timedOut ? QNetworkReply::TimeoutError : reply->error();
        const QString message =
            timedOut ? QStringLiteral("no answer within %1 ms").arg(timeout.count()) : reply->errorString();
        reply->deleteLater();
        qCDebug(logProtocol) << verb << target.toString() << "failed:" << message;
        throw TransportError(kind, message);
    }
    response.status = status.toInt();
    response.body = reply->readAll();
    response.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    co_return response;
}
