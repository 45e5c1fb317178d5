#include "protocol/EventServer.h"

#include "core/Log.h"
#include "protocol/HttpRequestReader.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

#include <tuple>
#include <unordered_map>

namespace {

const QByteArray okReply =
    QByteArrayLiteral("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
const QByteArray notAllowedReply =
    QByteArrayLiteral("HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");

// One accepted connection and the request it is reading. Lives on the server's thread.
struct Connection : QObject {
    QTcpSocket* socket = nullptr;
    QString host;
    quint64 order = 0; // acceptance order: lower is older
    HttpRequestReader reader{EventServer::maxHead};
    qsizetype counted = 0; // bytes of this connection in the server's buffered total
    QTimer idle;
    QTimer deadline;
    bool answered = false;
    bool sendingDone = false; // the reply has left and our side is shut for writing
};

} // namespace

// Owns the listener and the connections; every member runs on the server's thread.
class EventServerWorker : public QObject {
public:
    EventServerWorker(EventServer* owner, EventServer::Limits limits) : owner_(owner), limits_(limits) {}

    bool listen(QString* error) {
        listener_ = new QTcpServer(this);
        if (!listener_->listen(QHostAddress::Any, 0)) {
            *error = listener_->errorString();
            delete listener_;
            listener_ = nullptr;
            return false;
        }
        connect(listener_, &QTcpServer::newConnection, this, &EventServerWorker::accept);
        connect(listener_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
            // Qt stops accepting after an error it does not retry itself; the listener stays down.
            owner_->setPort(std::nullopt);
            qCCritical(logEvents, "Event server failed: %s", qUtf8Printable(listener_->errorString()));
        });
        const quint16 port = listener_->serverPort();
        owner_->setPort(port);
        qCInfo(logEvents, "Event server listening on port %hu", port);
        return true;
    }

    void shutdown() {
        for (auto& [socket, connection] : connections_) {
            socket->disconnect(this);
            socket->abort();
            delete connection;
        }
        connections_.clear();
        owner_->open_ = 0;
        owner_->buffered_ = 0;
        delete listener_;
        listener_ = nullptr;
    }

private:
    void accept() {
        while (QTcpSocket* socket = listener_->nextPendingConnection()) {
            auto* connection = new Connection;
            connection->setParent(this);
            socket->setParent(connection);
            socket->setReadBufferSize(EventServer::readChunk);
            connection->socket = socket;
            connection->host = EventServer::host(socket->peerAddress());
            connection->order = ++accepted_;
            admit(connection);
            connections_.emplace(socket, connection);
            ++owner_->open_;

            connection->idle.setSingleShot(true);
            connection->deadline.setSingleShot(true);
            connect(&connection->idle, &QTimer::timeout, this, [this, connection] {
                if (!connection->answered)
                    qCDebug(logEvents, "Event connection from %s closed after %lld ms of silence",
                            qUtf8Printable(connection->host), static_cast<long long>(limits_.idle.count()));
                close(connection);
            });
            connect(&connection->deadline, &QTimer::timeout, this, [this, connection] {
                if (!connection->answered)
                    qCDebug(logEvents, "Event connection from %s closed: no complete request within %lld ms",
                            qUtf8Printable(connection->host),
                            static_cast<long long>(limits_.deadline.count()));
                close(connection);
            });
            connection->idle.start(limits_.idle);
            connection->deadline.start(limits_.deadline);

            connect(socket, &QTcpSocket::readyRead, this, [this, connection] { read(connection); });
            connect(socket, &QTcpSocket::bytesWritten, this,
                    [this, connection] { finishSending(connection); });
            connect(socket, &QTcpSocket::disconnected, this, [this, connection] { close(connection); });
            connect(socket, &QTcpSocket::errorOccurred, this, [this, connection] { close(connection); });
            // Bytes may have arrived with the connection itself.
            if (socket->bytesAvailable() > 0)
                read(connection);
        }
    }

    // Makes room for a new connection from `newcomer->host`: at most `maxPerPeer - 1` others of
    // that address and `maxConnections - 1` in all stay open.
    void admit(const Connection* newcomer) {
        for (;;) {
            QHash<QString, int> perHost;
            for (const auto& [socket, connection] : connections_)
                ++perHost[connection->host];
            const bool peerFull = perHost.value(newcomer->host) >= limits_.maxPerPeer;
            if (!peerFull && static_cast<int>(connections_.size()) < limits_.maxConnections)
                return;
            // An answered connection first, then one of the address that holds the most, its oldest.
            Connection* chosen = nullptr;
            auto rank = [&](const Connection* c) {
                return std::tuple(!c->answered, -perHost.value(c->host), c->order);
            };
            for (const auto& [socket, connection] : connections_)
                if ((!peerFull || connection->host == newcomer->host) &&
                    (!chosen || rank(connection) < rank(chosen)))
                    chosen = connection;
            if (!chosen)
                return; // limits below one: nothing to give way
            qCDebug(logEvents, "Event connection from %s closed to make room for a newer one",
                    qUtf8Printable(chosen->host));
            close(chosen);
        }
    }

    void read(Connection* connection) {
        QTcpSocket* socket = connection->socket;
        if (connection->answered) {
            // Whatever follows the request is dropped; the connection ends when the peer closes.
            socket->skip(socket->bytesAvailable());
            return;
        }
        while (socket->bytesAvailable() > 0) {
            const QByteArray chunk = socket->read(EventServer::readChunk);
            if (chunk.isEmpty())
                return;
            connection->idle.start(limits_.idle);
            const bool complete = connection->reader.append(chunk);
            account(connection, connection->reader.retained());
            if (complete) {
                answer(connection);
                return;
            }
            if (connection->reader.headTooLarge()) {
                qCDebug(logEvents, "Event connection from %s closed: request head beyond %lld bytes",
                        qUtf8Printable(connection->host), static_cast<long long>(EventServer::maxHead));
                close(connection);
                return;
            }
            if (connection->reader.received() > EventServer::maxBuffer) {
                close(connection);
                return;
            }
            if (!keepWithinBudget(connection))
                return; // this connection gave way
        }
    }

    // Closes the connections holding the most request bytes until the total is within the
    // budget; false when `current` was one of them.
    bool keepWithinBudget(const Connection* current) {
        bool currentOpen = true;
        while (owner_->buffered_.load() > limits_.budget) {
            Connection* largest = nullptr;
            for (const auto& [socket, connection] : connections_)
                if (!largest || std::pair(connection->counted, connection->order) >
                                    std::pair(largest->counted, largest->order))
                    largest = connection;
            if (!largest || largest->counted == 0)
                break;
            qCDebug(logEvents, "Event connection from %s closed: %lld request bytes held in all",
                    qUtf8Printable(largest->host), static_cast<long long>(owner_->buffered_.load()));
            currentOpen = currentOpen && largest != current;
            close(largest);
        }
        return currentOpen;
    }

    void answer(Connection* connection) {
        const HttpRequestReader::Request request = *connection->reader.request();
        connection->answered = true;
        connection->reader = HttpRequestReader();
        account(connection, 0);

        const bool notify = request.head.method == QLatin1String("NOTIFY");
        connection->socket->write(notify ? okReply : notAllowedReply);
        if (notify) {
            EventServer::Notification notification{request.head.path, connection->host, std::nullopt,
                                                   request.head.headers, request.body};
            const auto sid = request.head.headers.constFind(QStringLiteral("sid"));
            if (sid != request.head.headers.constEnd())
                notification.sid = *sid;
            EventServer* owner = owner_;
            QMetaObject::invokeMethod(
                owner, [owner, notification = std::move(notification)] { owner->deliver(notification); },
                Qt::QueuedConnection);
        }
        // The reply goes to the kernel right away; once all of it has, our side is shut for
        // writing (the peer sees the end of the reply) while reading goes on until the peer
        // closes. Closing with unread bytes would make the kernel send a reset, which may
        // destroy the reply before the peer has read it. The idle time-out bounds the wait.
        connection->socket->flush();
        finishSending(connection);
        if (connections_.count(connection->socket) != 0)
            read(connection);
    }

    void finishSending(Connection* connection) {
        if (!connection->answered || connection->sendingDone || connection->socket->bytesToWrite() > 0)
            return;
        connection->sendingDone = true;
        ::shutdown(static_cast<int>(connection->socket->socketDescriptor()), SHUT_WR);
        connection->idle.start(limits_.idle);
    }

    void account(Connection* connection, qsizetype retained) {
        owner_->buffered_ += retained - connection->counted;
        connection->counted = retained;
    }

    void close(Connection* connection) {
        QTcpSocket* socket = connection->socket;
        if (connections_.erase(socket) == 0)
            return; // already closed
        socket->disconnect(this);
        connection->idle.stop();
        connection->deadline.stop();
        account(connection, 0);
        --owner_->open_;
        socket->abort();
        connection->deleteLater();
    }

    EventServer* owner_;
    EventServer::Limits limits_;
    QTcpServer* listener_ = nullptr;
    std::unordered_map<QTcpSocket*, Connection*> connections_;
    quint64 accepted_ = 0;
};

EventServer::EventServer(Handler handler, Limits limits) : handler_(std::move(handler)) {
    thread_.setObjectName(QStringLiteral("studio.quietforge.tamber.events"));
    worker_ = new EventServerWorker(this, limits);
    worker_->moveToThread(&thread_);
    thread_.start();
}

std::unique_ptr<EventServer> EventServer::create(Handler handler, QString* error, Limits limits) {
    std::unique_ptr<EventServer> server(new EventServer(std::move(handler), limits));
    bool listening = false;
    QString failure;
    QMetaObject::invokeMethod(
        server->worker_, [&] { listening = server->worker_->listen(&failure); },
        Qt::BlockingQueuedConnection);
    if (!listening) {
        if (error)
            *error = failure;
        return nullptr;
    }
    return server;
}

EventServer::~EventServer() {
    QMetaObject::invokeMethod(
        worker_,
        [this] {
            worker_->shutdown();
            delete worker_;
        },
        Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

std::optional<quint16> EventServer::port() const {
    QMutexLocker locker(&lock_);
    return port_;
}

void EventServer::setPort(std::optional<quint16> port) {
    QMutexLocker locker(&lock_);
    port_ = port;
}

void EventServer::deliver(const Notification& notification) {
    if (handler_)
        handler_(notification);
}

QString EventServer::hostText(const QString& address) {
    QString text = address;
    if (text.startsWith(QLatin1String("::ffff:")))
        text.remove(0, 7);
    const qsizetype zone = text.indexOf(QLatin1Char('%'));
    if (zone >= 0)
        text.truncate(zone);
    return text;
}

QString EventServer::host(const QHostAddress& address) {
    if (address.isNull())
        return QString();
    return hostText(address.toString());
}
