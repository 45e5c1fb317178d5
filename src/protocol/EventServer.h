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

// How long and how many connections the event server keeps open (see EventServer).
struct EventServerLimits {
    std::chrono::milliseconds idle{10'000};     // longest silence on a connection
    std::chrono::milliseconds deadline{30'000}; // longest time from acceptance to a complete request
    int maxConnections = 64;                    // open connections at the same time
};

// The callback endpoint of the GENA subscriptions: a minimal HTTP/1.1 server on a port the
// system chooses, on all interfaces (IPv4 and IPv6). Each connection carries one request; it is
// answered at once with an empty reply ("200 OK" for NOTIFY, "405 Method Not Allowed" for any
// other method) and closed. Every NOTIFY is handed to the handler on the thread that created the
// server (the main thread), in the order the requests completed. The server knows nothing of
// subscriptions; checks of sender and target are the handler's.
//
// The listener and all connections live on one thread of their own. Since the port is open to
// the whole network, a connection is also closed without a reply when it stays silent for
// `Limits::idle`, when its request is not complete `Limits::deadline` after acceptance, and a new
// connection is closed at once while `Limits::maxConnections` are open.
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
