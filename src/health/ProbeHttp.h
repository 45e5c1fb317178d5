#pragma once

#include "protocol/Http.h"
#include "protocol/LeafParser.h"
#include "protocol/Soap.h"

#include <QCoro/QCoroTask>
#include <QNetworkAccessManager>
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

// The HTTP requests of the health probes: no answer is nothing, never an exception.
namespace ProbeHttp {

// The probes' own client, made on first use and kept for the program's life: nothing cached
// or stored, no proxy.
QNetworkAccessManager& session();

// One request, ended after `idle` without progress or `total` in all, or when `cancel` is
// triggered. Nothing when no HTTP answer came.
QCoro::Task<std::optional<HttpResponse>> send(QNetworkRequest request, QByteArray verb, QByteArray body,
                                              std::chrono::milliseconds idle, std::chrono::milliseconds total,
                                              ProbeCancel* cancel = nullptr);

// One SOAP action with the envelope of the control calls; the reply's fields when it came
// with status 200, else nothing.
QCoro::Task<std::optional<Fields>> soap(QString host, Service service, QString action, SOAP::Arguments args,
                                        ProbeCancel* cancel);

} // namespace ProbeHttp
