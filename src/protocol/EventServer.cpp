#include "protocol/EventServer.h"

#include "core/Log.h"
#include "protocol/HttpRequestReader.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

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
    HttpRequestReader reader;
    qsizetype counted = 0; // bytes of this connection in the server's buffered total
    QTimer idle;
    QTimer deadline;
    bool answered = false;
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
            if (static_cast<int>(connections_.size()) >= limits_.maxConnections) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            auto* connection = new Connection;
            connection->setParent(this);
            socket->setParent(connection);
            socket->setReadBufferSize(EventServer::readChunk);
            connection->socket = socket;
            connection->host = EventServer::host(socket->peerAddress());
            connections_.emplace(socket, connection);
            ++owner_->open_;

            connection->idle.setSingleShot(true);
            connection->deadline.setSingleShot(true);
            connect(&connection->idle, &QTimer::timeout, this, [this, connection] {
                qCDebug(logEvents, "Event connection from %s closed after %lld ms of silence",
                        qUtf8Printable(connection->host), static_cast<long long>(limits_.idle.count()));
                close(connection);
            });
            connect(&connection->deadline, &QTimer::timeout, this, [this, connection] {
                qCDebug(logEvents, "Event connection from %s closed: no complete request within %lld ms",
                        qUtf8Printable(connection->host), static_cast<long long>(limits_.deadline.count()));
                close(connection);
            });
            connection->idle.start(limits_.idle);
            connection->deadline.start(limits_.deadline);

            connect(socket, &QTcpSocket::readyRead, this, [this, connection] { read(connection); });
            connect(socket, &QTcpSocket::disconnected, this, [this, connection] { close(connection); });
            connect(socket, &QTcpSocket::errorOccurred, this,
                    [this, connection](QAbstractSocket::SocketError e) {
                        // The peer's end after the reply was queued must not cut the reply short: the
                        // socket closes itself once it is written, and `disconnected` follows.
                        if (connection->answered && e == QAbstractSocket::RemoteHostClosedError)
                            return;
                        close(connection);
                    });
            // Bytes may have arrived with the connection itself.
            if (socket->bytesAvailable() > 0)
                read(connection);
        }
    }

    void read(Connection* connection) {
        QTcpSocket* socket = connection->socket;
        while (!connection->answered && socket->bytesAvailable() > 0) {
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
            if (connection->reader.received() > EventServer::maxBuffer) {
                close(connection);
                return;
            }
        }
    }

    void answer(Connection* connection) {
        const HttpRequestReader::Request request = *connection->reader.request();
        connection->answered = true;
        connection->reader = HttpRequestReader();
        account(connection, 0);
        connection->idle.stop();

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
        // The reply goes to the kernel right away and the socket closes with it; should the
        // kernel not take it all, the socket closes once the rest is written. `disconnected`
        // then releases the connection; the deadline stays armed in case the peer never lets the
        // reply go out.
        connection->socket->flush();
        connection->socket->disconnectFromHost();
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
