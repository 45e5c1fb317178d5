#include "protocol/Http.h"

#include "core/BoundedMemo.h"
#include "core/Log.h"
#include "protocol/CurlTransfer.h"
#include "protocol/TransportError.h"

#include <coroutine>
#include <utility>

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

std::optional<QUrl> Http::speakerUrl(const QString& host, const QString& path) {
    // URLs that passed are remembered (per thread): the program speaks to the same few speakers
    // over and over, and reading the URL again each time costs more than the lookup.
    thread_local BoundedMemo<std::pair<QString, QString>, QUrl> checked;
    return checked.value({host, path}, [&]() -> std::optional<QUrl> {
        const auto target = url(QStringLiteral("http://") + host + QStringLiteral(":1400") + path);
        if (!target || !isSpeakerUrl(*target, path))
            return std::nullopt;
        return target;
    });
}

std::optional<CurlSession::Request> Http::transfer(const QNetworkRequest& request, QByteArray verb,
                                                   QByteArray body, std::chrono::milliseconds idle,
                                                   std::chrono::milliseconds limit) {
    const QUrl target = request.url();
    if (!target.isValid() || target.host().isEmpty() || target.scheme() != QLatin1String("http"))
        return std::nullopt;
    CurlSession::Request transfer;
    transfer.url = target.toEncoded();
    transfer.origin = target.host().toUtf8() + ':' + QByteArray::number(target.port(80));
    transfer.verb = std::move(verb);
    transfer.body = std::move(body);
    for (const QByteArray& name : request.rawHeaderList())
        transfer.headers.append({name, request.rawHeader(name)});
    transfer.idleLimit = idle;
    transfer.callLimit = limit;
    return transfer;
}

QCoro::Task<HttpResponse> Http::send(QNetworkRequest request, QByteArray verb, QByteArray body,
                                     std::chrono::milliseconds timeout, std::chrono::milliseconds limit) {
    const QUrl target = request.url();
    std::optional<CurlSession::Request> transferRequest =
        Http::transfer(request, verb, std::move(body), timeout, std::max(limit, timeout));
    if (!transferRequest)
        throw TransportError(QNetworkReply::ProtocolInvalidOperationError,
                             QStringLiteral("no URL can be formed from \"%1\"").arg(target.toString()));

    CurlTransfer transfer(std::move(*transferRequest));
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
