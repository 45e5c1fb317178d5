#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include <curl/curl.h>

class QSocketNotifier;

// libcurl's multi interface driven by the Qt event loop of the main thread: the sockets libcurl
// watches are kept in one epoll set, and the event loop watches only that set (one socket
// notifier for all connections, so that a connection opening, turning from writing to reading
// and closing costs an epoll_ctl each rather than a change of the event loop's own poll list);
// one precise single-shot timer for libcurl's own time-outs, and one precise watchdog for the
// limits of each transfer. Connections are kept alive and
// reused where the server allows it, at most six at a time per host; more requests to a host
// wait, in order, for one of its transfers to end.
//
// Every transfer sends its request exactly once: should libcurl want to send it again (it does
// so on its own when a reused connection closes before any answer), the transfer fails
// instead. A transfer fails, without an answer, when it ends without a complete reply (short
// body, connection closed in the middle), when nothing moves for its idle limit, and when its
// whole limit has passed, even while bytes still trickle in.
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
    struct Transfer;
    struct Watch {
        CURL* easy = nullptr; // the transfer using the socket
        int what = 0;         // CURL_POLL_IN, _OUT or _INOUT: what libcurl waits for; 0: nothing
        uint32_t events = 0;  // what the set reports for it
    };
    using Steady = std::chrono::steady_clock;

    CurlSession();

    static int onSocket(CURL* easy, int socket, int what, void* self, void* socketData);
    static int onTimer(CURLM* multi, long milliseconds, void* self);
    static curl_socket_t onOpen(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int onClose(void* self, curl_socket_t socket);
    static size_t onHeader(char* data, size_t size, size_t count, void* transfer);
    static size_t onBody(char* data, size_t size, size_t count, void* transfer);
    static int onPrerequest(void* transfer, char*, char*, int, int);

    void launch(Transfer* transfer);
    void release(Transfer* transfer);
    void watch(int socket, int what, CURL* easy);
    void pollSockets();
    void act(int socket, int events);
    void enter();
    void leave();
    void collect();
    void finish(Transfer* transfer, Outcome outcome);
    void deliver();
    void checkLimits();
    void armWatchdog();
    CURL* takeHandle();

    CURLM* multi_ = nullptr;
    int epoll_ = -1;
    QSocketNotifier* sockets_ = nullptr; // readable while a watched socket is ready
    int dispatching_ = 0;        // inside a handler run by the event loop: outcomes are delivered at its end
    int delivering_ = 0;         // handing outcomes to their callers
    bool promptTimeout_ = false; // libcurl's time-out is due at once, asked for inside a handler
    bool serving_ = false;       // serving that time-out
    quint64 timerCalls_ = 0;
    QTimer curlTimer_;
    QTimer watchdog_;
    std::optional<Steady::time_point> watchdogAt_;
    std::unordered_map<int, Watch> watches_;
    QHash<Id, Transfer*> transfers_; // owned: in flight or waiting
    QHash<QByteArray, int> running_; // per origin
    QHash<QByteArray, std::deque<Transfer*>> waiting_;
    std::vector<std::pair<Id, std::pair<Finished, Outcome>>> ready_;
    bool deliveryPosted_ = false;
    std::vector<CURL*> spareHandles_;
    Id nextId_ = 1;
    bool closing_ = false;
};
