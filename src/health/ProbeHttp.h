#pragma once

#include "protocol/Http.h"
#include "protocol/Soap.h"

#include <QCoro/QCoroTask>
#include <QNetworkRequest>
#include <QObject>

#include <chrono>
#include <optional>

// Ends the requests of probes whose answer is no longer wanted: every request made with it
// is aborted at once when it is triggered, and later ones are not sent.
class ProbeCancel : public QObject {
    Q_OBJECT
public:
    void cancel() {
        if (cancelled_)
            return;
        cancelled_ = true;
        emit triggered();
    }
    bool cancelled() const { return cancelled_; }

signals:
    void triggered();

private:
    bool cancelled_ = false;
};

// The HTTP requests of the health probes: no answer is nothing, never an exception. They go
// through the program's one HTTP client (nothing cached or stored, no proxy, no redirect
// followed), which keeps the connections to the speakers alive between requests.
namespace ProbeHttp {

// Which connection a request goes on: one kept from earlier requests to the host when there is
// one free, or one of its own, closed when the request ends (for a request that is likely to
// be aborted).
enum class Connection { kept, own };

// One request, ended after `idle` without progress or `total` in all, or when `cancel` is
// triggered (the waiting coroutine then resumes from the event loop). Nothing when no whole
// HTTP answer came.
QCoro::Task<std::optional<HttpResponse>> send(QNetworkRequest request, QByteArray verb, QByteArray body,
                                              std::chrono::milliseconds idle, std::chrono::milliseconds total,
                                              ProbeCancel* cancel = nullptr,
                                              Connection connection = Connection::kept);

// The same for a request in the HTTP layer's form (Http::transfer): a caller that sends one
// request several times makes it once.
QCoro::Task<std::optional<HttpResponse>> send(CurlSession::Request request, ProbeCancel* cancel = nullptr);

// One SOAP action with the envelope of the control calls; the reply's body when it came with
// status 200, else nothing.
QCoro::Task<std::optional<QByteArray>> soapBody(QString host, Service service, QString action,
                                                SOAP::Arguments args, ProbeCancel* cancel,
                                                Connection connection = Connection::kept);

} // namespace ProbeHttp
