#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class EventServerWorker;

// How long, how many connections and how many bytes the event server keeps (see EventServer).
struct EventServerLimits {
    std::chrono::milliseconds idle{10'000};     // longest silence on a connection
    std::chrono::milliseconds deadline{30'000}; // longest time from acceptance to a complete request
    int maxConnections = 64;                    // open connections at the same time
    int maxPerPeer = 16;                        // open connections from one address at the same time
    qsizetype budget = 8'000'000;               // request bytes held across all connections
};

// The callback endpoint of the GENA subscriptions: a minimal HTTP/1.1 server on a port the
// system chooses, on all interfaces (IPv4 and IPv6). Each connection carries one request; it is
// answered at once with an empty reply ("200 OK" for NOTIFY, "405 Method Not Allowed" for any
// other method) and closed. Every NOTIFY is handed to the handler on the thread that created the
// server (the main thread), in the order the requests completed. The server knows nothing of
// subscriptions; checks of sender and target are the handler's.
//
// The listener and all connections live on one thread of their own. Since the port is open to
// the whole network, no sender may hold the server, and memory stays bounded whatever arrives.
// A connection is closed without a reply when
// - it stays silent for `Limits::idle`, or its request is not complete `Limits::deadline` after
//   acceptance;
// - its head (request line and headers) passes `maxHead` bytes without a blank line, or its
//   request passes `maxBuffer` bytes (head and body) without being complete;
// - the request bytes held across all connections would pass `Limits::budget`: the connection
//   holding the most gives way (the newest of equals);
// - a new connection arrives while `Limits::maxPerPeer` connections from the same address are
//   open: the oldest of that address gives way; or while `Limits::maxConnections` are open in
//   all: the oldest of the address that holds the most gives way. An answered connection always
//   goes before one still reading. A sender re-opening silent connections thus pushes out its
//   own and cannot keep the speakers out.
// After its reply a connection reads and drops whatever more arrives until the peer closes (or
// the idle time-out), so that a peer sending more than its request still receives the reply
// rather than a reset.
class EventServer : public QObject {
public:
    // What a NOTIFY hands over.
    struct Notification {
        QString path;                    // second word of the request line, as sent
        QString host;                    // the sender's address, without "::ffff:" and zone
        std::optional<QString> sid;      // the SID header, when present
        QHash<QString, QString> headers; // every header: name lower-cased, value trimmed
        QByteArray body;                 // exactly Content-Length bytes
    };
    using Handler = std::function<void(const Notification&)>;

    using Limits = EventServerLimits;

    static constexpr qsizetype readChunk = 65'536;    // bytes taken from a connection per read
    static constexpr qsizetype maxHead = 32'768;      // longest head before the blank line
    static constexpr qsizetype maxBuffer = 4'000'000; // more without a complete request closes it

    // Creates the server and starts listening. Returns nothing, with the listener's error text
    // in `error`, when no listener can be set up. On success the port is known at once.
    static std::unique_ptr<EventServer> create(Handler handler, QString* error = nullptr, Limits limits = {});
    // Closes the listener and every connection; notifications not yet handed over are dropped.
    ~EventServer() override;

    // The listening port: absent after the listener failed. Readable from any thread.
    std::optional<quint16> port() const;

    // The server's own accounting, readable from any thread: connections open right now and the
    // request bytes they hold in memory.
    int openConnections() const { return open_.load(); }
    qsizetype bufferedBytes() const { return buffered_.load(); }

    // The sender's host text: "::ffff:" at the start removed (an IPv4-mapped address becomes its
    // dotted form), then everything from the first "%" (the zone) dropped.
    static QString hostText(const QString& address);
    static QString host(const QHostAddress& address);

private:
    friend class EventServerWorker;

    EventServer(Handler handler, Limits limits);
    void setPort(std::optional<quint16> port);
    void deliver(const Notification& notification);

    Handler handler_;
    QThread thread_;
    EventServerWorker* worker_ = nullptr;
    mutable QMutex lock_;
    std::optional<quint16> port_;
    std::atomic<int> open_{0};
    std::atomic<qsizetype> buffered_{0};
};
