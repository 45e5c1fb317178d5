#pragma once

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPair>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

// One HTTP answer: whatever status the server gave, with its headers and body.
struct HttpResponse {
    int status = 0;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    // The first header of that name, compared without regard to case; empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
};

// The one HTTP layer under every speaker request: control calls, device descriptions and
// event subscriptions.
//
// Each thread that sends uses one QNetworkAccessManager kept for the thread's whole life: the
// main thread's is `Http::shared()`; a worker thread passes its own. Every request gets a
// time-out owned by the call: a timer that aborts the reply after `timeout` without any
// transfer progress (the reply is never left to Qt's own transfer time-out). The coroutine
// resumes from the reply's `finished` through a queued connection, and the reply is released
// with deleteLater() only after it has finished.
class Http {
public:
    // The main thread's manager: made on first use, kept until the application object ends.
    // Nothing is stored on disk: no cache, no cookies, no proxy.
    static QNetworkAccessManager& shared();

    // A manager set up the way this layer needs, for a thread of its own. The caller owns it
    // and keeps it as long as the thread sends requests.
    static QNetworkAccessManager* makeManager(QObject* parent = nullptr);

    // The URL of a text, or nothing when the text forms no usable http URL (a host that is no
    // host name or address, stray characters). Nothing may be sent for such a text.
    static std::optional<QUrl> url(const QString& text);

    // Whether `url` is exactly a speaker's port-1400 URL with `path`: no user part, no query,
    // no fragment. Guards against a host text that smuggles in another target.
    static bool isSpeakerUrl(const QUrl& url, const QString& path);

    // Sends `verb` with `body` (may be empty) and waits for the whole answer.
    // Throws TransportError when there is no HTTP answer: bad URL (nothing sent), refused
    // connection, time-out, any other network failure.
    static QCoro::Task<HttpResponse> send(QNetworkRequest request, QByteArray verb, QByteArray body,
                                          std::chrono::milliseconds timeout);
    static QCoro::Task<HttpResponse> send(QNetworkAccessManager& manager, QNetworkRequest request,
                                          QByteArray verb, QByteArray body,
                                          std::chrono::milliseconds timeout);
};
