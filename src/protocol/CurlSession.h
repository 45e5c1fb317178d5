#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QString>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class CurlEngine;
class QThread;

// The program's HTTP client: libcurl driven on threads of its own (see CurlEngine), so that
// connecting, sending, reading and the limits of each transfer cost the main thread nothing.
// Each host is served by one of a few such threads, the hosts spread evenly over them: a
// household asks all its speakers at once, and libcurl's work for each request (sending,
// reading, taking the connection back) then runs side by side rather than in one queue.
// Requests are started and outcomes delivered on the main thread, from its event loop.
//
// Every transfer sends its request exactly once: should libcurl want to send it again (it does
// so on its own when a reused connection closes before any answer), the transfer fails
// instead. A transfer fails, without an answer, when it ends without a complete reply (short
// body, connection closed in the middle), when nothing moves for its idle limit, and when its
// whole limit has passed, even while bytes still trickle in. At most six connections at a time
// go to one host; more requests to it wait, in order.
class CurlSession : public QObject {
public:
    using Id = quint64;

    struct Request {
        QByteArray url;    // encoded, http only
        QByteArray origin; // host and port: the requests to one origin share its connections
        QByteArray verb;
        QByteArray body; // sent when not empty
        QList<QPair<QByteArray, QByteArray>> headers;
        std::chrono::milliseconds idleLimit{3000};
        std::chrono::milliseconds callLimit{10000};
        // On a connection of its own: never one kept from earlier requests (which stays free
        // for others), and closed when the transfer ends rather than kept. For a one-off
        // request beside the usual ones, which would otherwise leave an idle connection to
        // the host behind each time.
        bool freshConnection = false;
    };

    struct Outcome {
        // The whole answer, or nothing when none came.
        std::optional<int> status;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        // Why no answer came.
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QString message;
    };

    using Finished = std::function<void(Outcome)>;

    // The main thread's session, made on first use and kept until the application object ends.
    static CurlSession& instance();

    // Starts `request`; `finished` is called exactly once, from the event loop (never from
    // inside start()), unless the transfer is cancelled first.
    Id start(Request request, Finished finished);
    // Ends a transfer before its outcome was delivered: it is stopped and `finished` is never
    // called. Does nothing for an unknown or delivered transfer, or once the session is gone.
    static void cancel(Id id);

    ~CurlSession() override;

private:
    // One engine on its thread; `thread` is null when the engine cannot run.
    struct Lane {
        std::unique_ptr<CurlEngine> engine;
        QThread* thread = nullptr;
        int origins = 0; // hosts given to it
    };
    struct Waiting {
        Finished finished;
        int lane = 0;
    };

    CurlSession();
    int laneFor(const QByteArray& origin);
    void receive(int lane);
    void deliver();

    std::vector<Lane> lanes_;
    // Which lane serves a host: kept for the whole run, so that a host's connections, and the
    // limit on them, stay with one engine. Speakers are few; so are these entries.
    QHash<QByteArray, int> laneOf_;
    QHash<Id, Waiting> waiting_; // started, outcome not delivered
    std::deque<std::pair<Id, Outcome>> ready_;
    bool receivePosted_ = false;
    Id nextId_ = 1;
};
