#pragma once

#include "protocol/CurlSession.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QList>
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
// event subscriptions, on libcurl driven on a thread of its own (CurlSession).
//
// Each call sends its request exactly once and waits for the whole answer: status, headers and
// a body complete by its Content-Length (or chunked end). It fails without an answer when
// nothing moves for `timeout` (counted from the last byte sent or received), when the whole call
// takes longer than `limit` (a trickle that never ends), and when the answer stops short. The
// coroutine resumes from the event loop on the main thread; a call whose coroutine is destroyed
// while it waits is stopped and never touches it again. Connections are kept alive where the
// speaker allows it.
class Http {
public:
    // The longest any one call may take, however steadily the answer trickles in.
    static constexpr std::chrono::milliseconds callLimit{10000};

    // The URL of a text, or nothing when the text forms no usable http URL (a host that is no
    // host name or address, stray characters). Nothing may be sent for such a text.
    static std::optional<QUrl> url(const QString& text);

    // Whether `url` is exactly a speaker's port-1400 URL with `path`: no user part, no query,
    // no fragment. Guards against a host text that smuggles in another target.
    static bool isSpeakerUrl(const QUrl& url, const QString& path);

    // The URL of `path` on port 1400 of the speaker at `host`, or nothing when the host text
    // forms no URL or would turn it into another target (both checks above).
    static std::optional<QUrl> speakerUrl(const QString& host, const QString& path);

    // Sends `verb` to the request's URL with its raw headers and `body` (may be empty) and waits
    // for the whole answer, whatever its status. Main thread only.
    // Throws TransportError when there is no complete HTTP answer: bad URL (nothing sent),
    // refused connection, `timeout` without progress or `limit` in all (TimeoutError), the
    // connection closed before the answer was complete (RemoteHostClosedError), any other
    // network failure.
    // The transfer a request makes: its URL, headers and body with the two limits (`idle`
    // without progress, `limit` in all). Nothing when the URL is no usable http URL.
    static std::optional<CurlSession::Request> transfer(const QNetworkRequest& request, QByteArray verb,
                                                        QByteArray body, std::chrono::milliseconds idle,
                                                        std::chrono::milliseconds limit);

    static QCoro::Task<HttpResponse> send(QNetworkRequest request, QByteArray verb, QByteArray body,
                                          std::chrono::milliseconds timeout,
                                          std::chrono::milliseconds limit = callLimit);
};
