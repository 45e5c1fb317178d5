#include "health/ProbeHttp.h"

#include "core/Delays.h"
#include "protocol/CurlTransfer.h"

#include <algorithm>
#include <coroutine>

namespace ProbeHttp {

QCoro::Task<std::optional<HttpResponse>> send(QNetworkRequest request, QByteArray verb, QByteArray body,
                                              std::chrono::milliseconds idle, std::chrono::milliseconds total,
                                              ProbeCancel* cancel, Connection connection) {
    if (cancel && cancel->cancelled())
        co_return std::nullopt;
    std::optional<CurlSession::Request> transferRequest =
        Http::transfer(request, std::move(verb), std::move(body), idle, total);
    if (!transferRequest)
        co_return std::nullopt;
    transferRequest->freshConnection = connection == Connection::own;
    co_return co_await send(std::move(*transferRequest), cancel);
}

QCoro::Task<std::optional<HttpResponse>> send(CurlSession::Request request, ProbeCancel* cancel) {
    if (cancel && cancel->cancelled())
        co_return std::nullopt;
    CurlTransfer transfer(std::move(request));
    if (cancel)
        QObject::connect(cancel, &ProbeCancel::triggered, transfer.context(),
                         [&transfer] { transfer.stop(); });
    CurlSession::Outcome outcome = co_await transfer.wait();
    if (!outcome.status || (cancel && cancel->cancelled()))
        co_return std::nullopt;
    co_return HttpResponse{*outcome.status, std::move(outcome.body), std::move(outcome.headers)};
}

QCoro::Task<std::optional<QByteArray>> soapBody(QString host, Service service, QString action,
                                                SOAP::Arguments args, ProbeCancel* cancel,
                                                Connection connection) {
    const auto url = Http::speakerUrl(host, controlPath(service));
    if (!url)
        co_return std::nullopt;
    QNetworkRequest request(*url);
    request.setRawHeader("Content-Type", "text/xml; charset=\"utf-8\"");
    request.setRawHeader("SOAPACTION", SOAP::soapAction(service, action));
    const std::optional<HttpResponse> response =
        co_await send(request, "POST", SOAP::envelope(service, action, args), Delays::requestTimeout,
                      std::chrono::hours(1), cancel, connection);
    // An answer that came in after the cancel is not read: nobody wants it any more.
    if (!response || response->status != 200 || (cancel && cancel->cancelled()))
        co_return std::nullopt;
    co_return response->body;
}

} // namespace ProbeHttp
