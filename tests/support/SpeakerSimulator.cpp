#include "SpeakerSimulator.h"

#include "LastMade.h"
#include "SimCore.h"
#include "SimGena.h"
#include "SimWireFault.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QXmlStreamReader>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <stdexcept>
#include <sys/timerfd.h>
#include <tuple>
#include <unistd.h>

namespace sim {

namespace {

const QString envelopeStart =
    QStringLiteral("<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                   "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
                   "<s:Body>");
const QString envelopeEnd = QStringLiteral("</s:Body></s:Envelope>");

const std::optional<Service> serviceOfPath(const QByteArray& path) {
    for (Service service : {Service::avTransport, Service::renderingControl, Service::groupRenderingControl,
                            Service::zoneGroupTopology, Service::deviceProperties, Service::contentDirectory})
        if (controlPath(service).toUtf8() == path)
            return service;
    return std::nullopt;
}

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 412:
        return "Precondition Failed";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

QByteArray faultBody(const QString& code) {
    return (envelopeStart +
            QStringLiteral(
                "<s:Fault><faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>"
                "<UPnPError xmlns=\"urn:schemas-upnp-org:control-1-0\"><errorCode>%1</errorCode>"
                "</UPnPError></detail></s:Fault>")
                .arg(code) +
            envelopeEnd)
        .toUtf8();
}

QByteArray htmlPage(int status) {
    return QStringLiteral("<html><head><title>%1 %2</title></head><body><h1>%2</h1></body></html>")
        .arg(status)
        .arg(QString::fromLatin1(reasonPhrase(status)))
        .toUtf8();
}

// The reply's fields with the speaker's configured texts put in their place.
QList<QPair<QString, QString>> withReplyText(QList<QPair<QString, QString>> fields,
                                             const QHash<QString, std::optional<QString>>& texts) {
    QHash<QString, std::optional<QString>> pending = texts;
    QList<QPair<QString, QString>> out;
    for (auto& [name, value] : fields) {
        const auto text = pending.find(name);
        if (text == pending.end()) {
            out.append({name, value});
            continue;
        }
        if (*text)
            out.append({name, **text});
        pending.erase(text);
    }
    for (auto text = texts.cbegin(); text != texts.cend(); ++text)
        if (pending.contains(text.key()) && *text)
            out.append({text.key(), **text});
    return out;
}

QByteArray responseBody(Service service, const QString& action,
                        const QList<QPair<QString, QString>>& fields) {
    // The last answer written on this thread is kept: a household asks all its speakers for the
    // same large topology document at once.
    thread_local LastMade<std::tuple<Service, QString, QList<QPair<QString, QString>>>, QByteArray> last;
    return last.value({service, action, fields}, [&] {
        QString text =
            envelopeStart + QStringLiteral("<u:%1Response xmlns:u=\"%2\">").arg(action, serviceType(service));
        for (const auto& [name, value] : fields)
            text += QLatin1Char('<') + name + QLatin1Char('>') + xmlEscape(value) + QLatin1String("</") +
                    name + QLatin1Char('>');
        text += QStringLiteral("</u:%1Response>").arg(action) + envelopeEnd;
        return text.toUtf8();
    });
}

QByteArray deviceDescription(const FakeSpeaker& speaker) {
    QString versions;
    if (speaker.softwareVersion)
        versions +=
            QStringLiteral("<softwareVersion>%1</softwareVersion>").arg(xmlEscape(*speaker.softwareVersion));
    if (speaker.displayVersion)
        versions +=
            QStringLiteral("<displayVersion>%1</displayVersion>").arg(xmlEscape(*speaker.displayVersion));
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\" ?>"
                          "<root xmlns=\"urn:schemas-upnp-org:device-1-0\"><specVersion><major>1</major>"
                          "<minor>0</minor></specVersion><device>"
                          "<deviceType>urn:schemas-upnp-org:device:ZonePlayer:1</deviceType>"
                          "<friendlyName>%1 - %2</friendlyName><modelName>%2</modelName>"
                          "<UDN>uuid:%3</UDN><roomName>%4</roomName>%5</device></root>")
        .arg(xmlEscape(speaker.host), xmlEscape(speaker.modelName), xmlEscape(speaker.uuid),
             xmlEscape(speaker.zoneName), versions)
        .toUtf8();
}

// Reads the action element (the first child of s:Body) and its children in order.
void readAction(SimRequest& request) {
    QXmlStreamReader reader(request.body);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    int actionDepth = -1;
    QString argName;
    QString argText;
    bool inBody = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            if (reader.qualifiedName() == QLatin1String("s:Body")) {
                inBody = true;
            } else if (inBody && actionDepth < 0) {
                actionDepth = depth;
                request.action = reader.name().toString();
            } else if (actionDepth >= 0 && depth == actionDepth + 1) {
                argName = reader.qualifiedName().toString();
                argText.clear();
            }
            break;
        case QXmlStreamReader::Characters:
            if (actionDepth >= 0 && depth == actionDepth + 1)
                argText += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            if (actionDepth >= 0 && depth == actionDepth + 1)
                request.args.append({argName, argText});
            --depth;
            break;
        default:
            break;
        }
    }
}

} // namespace

QString xmlEscape(QString text) {
    // "&", "<", ">" and the double quote, in one pass.
    return text.toHtmlEscaped();
}

std::optional<Fault> SimCore::takeFault(const QString& host, const QString& action) {
    for (const auto& key : {qMakePair(host, action), qMakePair(QString(), action)}) {
        auto found = faults.find(key);
        if (found == faults.end())
            continue;
        Fault fault = *found;
        if (found->times > 0 && --found->times == 0) {
            // The next queued fault of this key, if any, takes its place.
            auto next = queued.find(key);
            if (next != queued.end() && !next->isEmpty()) {
                *found = next->takeFirst();
                if (next->isEmpty())
                    queued.erase(next);
            } else {
                faults.erase(found);
            }
        }
        return fault;
    }
    return std::nullopt;
}

// The servers: one listener per speaker, HTTP/1.1 connections with keep-alive, all on the
// simulator's thread.
class SimServer : public QObject {
public:
    explicit SimServer(std::shared_ptr<SimCore> core) : core_(std::move(core)) {}
    ~SimServer() override {
        delete notifier_; // before its descriptor closes
        if (timer_ >= 0)
            ::close(timer_);
    }
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    bool listen(const QString& host) {
        if (listeners_.contains(host))
            return true;
        auto* server = new QTcpServer(this);
        if (!server->listen(QHostAddress(host), 1400)) {
            error_ = QStringLiteral("%1:1400: %2").arg(host, server->errorString());
            delete server;
            return false;
        }
        connect(server, &QTcpServer::newConnection, this, [this, server, host] {
            while (QTcpSocket* socket = server->nextPendingConnection())
                accept(host, socket);
        });
        listeners_.insert(host, server);
        return true;
    }

    void close(const QString& host) {
        for (QTcpSocket* socket : connections_.values(host)) {
            socket->abort();
            drop(host, socket);
        }
        delete listeners_.take(host);
    }

    void closeAll() {
        for (const QString& host : listeners_.keys())
            close(host);
    }

    QString error() const { return error_; }

private:
    using Steady = std::chrono::steady_clock;

    // Runs `work` on this thread once `delay` has passed, to the microsecond. The event loop's
    // own timers wait in whole milliseconds, which would hold a delayed answer back by up to a
    // millisecond more, differently for every answer.
    void later(std::chrono::milliseconds delay, std::function<void()> work) {
        if (timer_ < 0) {
            timer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
            if (timer_ < 0)
                throw std::runtime_error("speaker simulator: no timer for delayed answers");
            notifier_ = new QSocketNotifier(timer_, QSocketNotifier::Read, this);
            connect(notifier_, &QSocketNotifier::activated, this, [this] { runDue(); });
        }
        const Steady::time_point at = Steady::now() + delay;
        const bool first = due_.empty() || at < due_.begin()->first;
        due_.emplace(at, std::move(work));
        if (first)
            arm(at);
    }

    void runDue() {
        uint64_t expirations = 0;
        [[maybe_unused]] const auto read = ::read(timer_, &expirations, sizeof expirations);
        while (!due_.empty() && due_.begin()->first <= Steady::now()) {
            const std::function<void()> work = std::move(due_.begin()->second);
            due_.erase(due_.begin());
            work();
        }
        if (!due_.empty())
            arm(due_.begin()->first);
    }

    // The steady clock is CLOCK_MONOTONIC: its time since the epoch is the timer's own.
    void arm(Steady::time_point at) {
        const auto since = at.time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        itimerspec spec{};
        spec.it_value.tv_sec = seconds.count();
        spec.it_value.tv_nsec = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count();
        if (spec.it_value.tv_sec == 0 && spec.it_value.tv_nsec == 0)
            spec.it_value.tv_nsec = 1; // zero would disarm the timer
        ::timerfd_settime(timer_, TFD_TIMER_ABSTIME, &spec, nullptr);
    }

    struct Connection {
        QByteArray buffer;
        bool busy = false; // an answer is pending (delayed or withheld)
    };

    void accept(const QString& host, QTcpSocket* socket) {
        socket->setParent(this); // outlives its listener, which may close first
        connections_.insert(host, socket);
        state_.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, host, socket] {
            state_[socket].buffer += socket->readAll();
            process(host, socket);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, host, socket] { drop(host, socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, host, socket] {
            if (socket->state() == QAbstractSocket::UnconnectedState)
                drop(host, socket);
        });
    }

    void drop(const QString& host, QTcpSocket* socket) {
        if (!state_.contains(socket))
            return;
        state_.remove(socket);
        connections_.remove(host, socket);
        socket->deleteLater();
    }

    bool closes(const QString& host) const {
        QMutexLocker lock(&core_->mutex);
        return core_->closing.contains(host);
    }

    // Reads as many whole requests as the buffer holds, one answer at a time.
    void process(const QString& host, QTcpSocket* socket) {
        while (state_.contains(socket) && !state_[socket].busy) {
            QByteArray& buffer = state_[socket].buffer;
            const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
            if (headEnd < 0)
                return;
            SimRequest request;
            request.host = host;
            request.peer = QHostAddress(socket->peerAddress().toIPv4Address()).toString();
            request.peerPort = socket->peerPort();
            const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
            const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
            request.method = start.value(0);
            request.path = start.value(1);
            const QByteArray version = start.value(2);
            qsizetype length = 0;
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const qsizetype colon = lines[i].indexOf(':');
                if (colon <= 0)
                    continue;
                const QByteArray name = lines[i].left(colon).trimmed();
                const QByteArray value = lines[i].mid(colon + 1).trimmed();
                request.headers.append({name, value});
                if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                    length = value.toLongLong();
            }
            if (buffer.size() < headEnd + 4 + length)
                return;
            request.body = buffer.mid(headEnd + 4, length);
            buffer.remove(0, headEnd + 4 + length);
            const bool close = request.header("Connection").compare("close", Qt::CaseInsensitive) == 0 ||
                               version == "HTTP/1.0" || closes(host);
            answer(host, socket, std::move(request), close);
        }
    }

    void answer(const QString& host, QTcpSocket* socket, SimRequest request, bool close) {
        const bool soap = request.method == "POST";
        if (soap) {
            request.service = serviceOfPath(request.path);
            readAction(request);
        }
        const QString key = soap ? request.action : QString::fromUtf8(request.path);

        std::optional<Fault> fault;
        HttpReply reply;
        std::function<HttpReply()> build;
        QList<QPair<QString, Service>> changes;
        ChangeHook hook;
        ChangeHook genaHook;
        {
            QMutexLocker lock(&core_->mutex);
            core_->log.append(request);
            fault = core_->takeFault(host, key);
            hook = core_->changeHook;
            genaHook = core_->genaHook;
            if (fault && fault->kind == Fault::Kind::status) {
                reply.status = fault->status;
                if (fault->errorCode)
                    reply.body = faultBody(*fault->errorCode);
                else if (!soap)
                    reply.body = htmlPage(fault->status);
            } else {
                build = route(request, changes);
            }
        }
        // Written out without the lock: servers on other threads go on meanwhile.
        if (build)
            reply = build();
        for (const auto& [uuid, service] : changes) {
            if (hook)
                hook(uuid, service);
            if (genaHook)
                genaHook(uuid, service);
        }

        if (fault) {
            switch (fault->kind) {
            case Fault::Kind::emptyOk:
                reply = HttpReply{200, {}, {}};
                break;
            case Fault::Kind::malformed: {
                reply.status = 200;
                const qsizetype cut = reply.body.indexOf("</u:");
                reply.body = reply.body.left(cut < 0 ? reply.body.size() / 2 : cut) + "<</";
                break;
            }
            case Fault::Kind::silence:
                state_[socket].busy = true; // holds the connection open without an answer
                return;
            default:
                break;
            }
        }
        const bool typed = std::any_of(reply.headers.cbegin(), reply.headers.cend(), [](const auto& header) {
            return header.first.compare("Content-Type", Qt::CaseInsensitive) == 0;
        });
        if (!reply.body.isEmpty() && !typed)
            reply.headers.prepend({"CONTENT-TYPE", soap || reply.body.startsWith("<?xml")
                                                       ? QByteArray("text/xml; charset=\"utf-8\"")
                                                       : QByteArray("text/html")});
        if (fault && isWireFault(fault->kind)) {
            state_[socket].busy = true; // the connection serves nothing else from now on
            playWireFault(socket, *fault, wire(reply, close));
            return;
        }
        if (fault && fault->delay.count() > 0) {
            state_[socket].busy = true;
            QPointer<QTcpSocket> guard(socket);
            later(fault->delay, [this, host, guard, reply, close] {
                if (!guard || !state_.contains(guard.data()))
                    return;
                state_[guard.data()].busy = false;
                write(guard.data(), reply, close);
                process(host, guard.data());
            });
            return;
        }
        write(socket, reply, close);
    }

    // The answer to a request: worked out with the household locked (SOAP on a control path,
    // the device description, or another method's handler), written out by the function
    // returned, from copies, once the lock is released.
    std::function<HttpReply()> route(const SimRequest& request, QList<QPair<QString, Service>>& changes) {
        const auto ready = [](HttpReply reply) { return [reply = std::move(reply)] { return reply; }; };
        FakeSpeaker* speaker = core_->household.speakerByHost(request.host);
        if (request.method == "GET") {
            if (request.path == "/xml/device_description.xml" && speaker)
                return [copy = *speaker] { return HttpReply{200, {}, deviceDescription(copy)}; };
            return ready({404, {}, htmlPage(404)});
        }
        if (request.method == "POST") {
            if (!request.service || !speaker)
                return ready({404, {}, htmlPage(404)});
            // A SOAPACTION that disagrees with the path or the body is a client fault.
            const QByteArray expected =
                '"' + serviceType(*request.service).toUtf8() + '#' + request.action.toUtf8() + '"';
            if (request.header("SOAPACTION") != expected)
                return ready({500, {}, faultBody(QStringLiteral("401"))});
            const auto handler = core_->actions.constFind(qMakePair(int(*request.service), request.action));
            if (handler == core_->actions.cend())
                return ready({500, {}, faultBody(QStringLiteral("401"))});
            ActionContext context{core_->household, *speaker, request, {}};
            const SoapReply soapReply = (*handler)(context);
            changes = context.changes;
            if (soapReply.errorCode)
                return ready({soapReply.status, {}, faultBody(*soapReply.errorCode)});
            return [status = soapReply.status, service = *request.service, action = request.action,
                    fields = withReplyText(soapReply.fields, speaker->replyText.value(request.action))] {
                return HttpReply{status, {}, responseBody(service, action, fields)};
            };
        }
        if (const auto handler = core_->methods.constFind(request.method); handler != core_->methods.cend())
            if (auto reply = (*handler)(request, core_->household))
                return ready(*reply);
        return ready({405, {}, {}});
    }

    static QByteArray wire(const HttpReply& reply, bool close) {
        QByteArray head =
            "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
        for (const auto& [name, value] : reply.headers)
            head += name + ": " + value + "\r\n";
        head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        head += close ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
        head += "Server: Linux UPnP/1.0 loopback-speaker\r\n\r\n";
        return head + reply.body;
    }

    void write(QTcpSocket* socket, const HttpReply& reply, bool close) {
        socket->write(wire(reply, close));
        // Out at once, as a speaker sends an answer when it is ready, not after whatever else
        // this thread has to do in the same turn.
        socket->flush();
        if (close)
            socket->disconnectFromHost();
    }

    std::shared_ptr<SimCore> core_;
    QHash<QString, QTcpServer*> listeners_;
    QMultiHash<QString, QTcpSocket*> connections_;
    QHash<QTcpSocket*, Connection> state_;
    QString error_;
    int timer_ = -1; // timerfd of the delayed answers
    QSocketNotifier* notifier_ = nullptr;
    std::multimap<Steady::time_point, std::function<void()>> due_; // in order of their time
};

SpeakerSimulator::SpeakerSimulator(FakeHousehold household, int threads)
    : core_(std::make_shared<SimCore>()) {
    core_->household = std::move(household);
    installStandardActions(core_->actions);
    installGroupingActions(core_->actions);
    installHealthActions(core_->actions);
    gena_ = std::make_unique<SimGena>(*this);
    core_->genaHook = [gena = gena_.get()](const QString& uuid, Service service) {
        gena->changed(uuid, service);
    };
    for (int i = 0; i < std::max(1, threads); ++i) {
        auto thread = std::make_unique<QThread>();
        thread->setObjectName(QStringLiteral("speaker-simulator"));
        auto* server = new SimServer(core_);
        server->moveToThread(thread.get());
        QObject::connect(thread.get(), &QThread::finished, server, &QObject::deleteLater);
        thread->start();
        servers_.push_back(server);
        threads_.push_back(std::move(thread));
    }
    // The speakers take turns over the threads, so that each thread serves as many.
    for (qsizetype i = 0; i < core_->household.speakers.size(); ++i)
        placed_.insert(core_->household.speakers[i].host, servers_[size_t(i) % servers_.size()]);
    QString error;
    for (const FakeSpeaker& speaker : core_->household.speakers) {
        SimServer* server = serverOf(speaker.host);
        QMetaObject::invokeMethod(
            server,
            [server, host = speaker.host, &error] {
                if (!server->listen(host))
                    error = server->error();
            },
            Qt::BlockingQueuedConnection);
        if (!error.isEmpty()) {
            stop();
            throw std::runtime_error(
                (QStringLiteral("speaker simulator: cannot listen on ") + error).toStdString());
        }
    }
}

SpeakerSimulator::~SpeakerSimulator() {
    stop();
}

void SpeakerSimulator::stop() {
    for (SimServer* server : servers_)
        QMetaObject::invokeMethod(
            server, [server] { server->closeAll(); }, Qt::BlockingQueuedConnection);
    for (const auto& thread : threads_) {
        thread->quit();
        thread->wait();
    }
    servers_.clear();
    threads_.clear();
}

SimServer* SpeakerSimulator::serverOf(const QString& host) const {
    if (SimServer* server = placed_.value(host))
        return server;
    return servers_[qHash(host, 0) % servers_.size()];
}

FakeHousehold SpeakerSimulator::household() const {
    QMutexLocker lock(&core_->mutex);
    return core_->household;
}

FakeSpeaker SpeakerSimulator::speaker(const QString& host) const {
    QMutexLocker lock(&core_->mutex);
    const FakeSpeaker* speaker = core_->household.speakerByHost(host);
    return speaker ? *speaker : FakeSpeaker{};
}

void SpeakerSimulator::update(const std::function<void(FakeHousehold&)>& change) {
    QMutexLocker lock(&core_->mutex);
    change(core_->household);
}

void SpeakerSimulator::setFault(const QString& host, const QString& action, const Fault& fault) {
    QMutexLocker lock(&core_->mutex);
    core_->faults.insert(qMakePair(host, action), fault);
    core_->queued.remove(qMakePair(host, action));
}

void SpeakerSimulator::addFault(const QString& host, const QString& action, const Fault& fault) {
    QMutexLocker lock(&core_->mutex);
    const auto key = qMakePair(host, action);
    if (!core_->faults.contains(key))
        core_->faults.insert(key, fault);
    else
        core_->queued[key].append(fault);
}

void SpeakerSimulator::clearFaults() {
    QMutexLocker lock(&core_->mutex);
    core_->faults.clear();
    core_->queued.clear();
}

void SpeakerSimulator::setClosesConnections(const QString& host, bool closes) {
    QMutexLocker lock(&core_->mutex);
    if (closes)
        core_->closing.insert(host);
    else
        core_->closing.remove(host);
}

void SpeakerSimulator::setOffline(const QString& host, bool offline) {
    SimServer* server = serverOf(host);
    QString error;
    QMetaObject::invokeMethod(
        server,
        [server, host, offline, &error] {
            if (offline)
                server->close(host);
            else if (!server->listen(host))
                error = server->error();
        },
        Qt::BlockingQueuedConnection);
    if (!error.isEmpty())
        throw std::runtime_error(
            (QStringLiteral("speaker simulator: cannot listen on ") + error).toStdString());
}

QList<SimRequest> SpeakerSimulator::requests() const {
    QMutexLocker lock(&core_->mutex);
    return core_->log;
}

QList<SimRequest> SpeakerSimulator::requests(const QString& host, const QString& action) const {
    QMutexLocker lock(&core_->mutex);
    QList<SimRequest> found;
    for (const SimRequest& request : core_->log)
        if ((host.isEmpty() || request.host == host) &&
            (request.action == action || QString::fromUtf8(request.path) == action))
            found.append(request);
    return found;
}

void SpeakerSimulator::clearRequests() {
    QMutexLocker lock(&core_->mutex);
    core_->log.clear();
}

void SpeakerSimulator::setHandler(Service service, const QString& action, ActionHandler handler) {
    QMutexLocker lock(&core_->mutex);
    core_->actions.insert(qMakePair(int(service), action), std::move(handler));
}

ActionHandler SpeakerSimulator::handler(Service service, const QString& action) const {
    QMutexLocker lock(&core_->mutex);
    return core_->actions.value(qMakePair(int(service), action));
}

void SpeakerSimulator::setMethodHandler(const QByteArray& method, MethodHandler handler) {
    QMutexLocker lock(&core_->mutex);
    core_->methods.insert(method, std::move(handler));
}

void SpeakerSimulator::setChangeHook(ChangeHook hook) {
    QMutexLocker lock(&core_->mutex);
    core_->changeHook = std::move(hook);
}

QObject* SpeakerSimulator::threadContext() const {
    return servers_.front();
}

} // namespace sim
