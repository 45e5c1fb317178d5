#include "protocol/Events.h"

#include "core/Delays.h"
#include "core/Log.h"
#include "platform/SystemEvents.h"
#include "protocol/EventServer.h"
#include "protocol/Http.h"
#include "protocol/LastChangeParser.h"
#include "protocol/SonosError.h"
#include "protocol/TransportError.h"

#include <QCoro/QCoroSignal>
#include <QDeadlineTimer>
#include <QPointer>
#include <QSemaphore>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr double renewalMargin = 900;            // seconds left below which a subscription is renewed
constexpr auto requestedTimeout = "Second-3600"; // what every SUBSCRIBE asks for
constexpr double longestGrant = 86'400;          // a longer grant counts as one day

// One cancellation sent at exit: everything the worker needs, owned by it.
struct Cancellation {
    QByteArray host;
    QByteArray request;
};

// Waits until the socket is ready for `events` (or failed); false once `deadline` passed.
bool waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, int(left.count()));
        if (ready > 0)
            return (entry.revents & (events | POLLHUP | POLLERR)) != 0;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

// Sends one request over a plain socket and waits for the first bytes of the answer, all
// bounded by `deadline`. Runs on a thread of its own; touches nothing but its arguments.
void sendBlocking(const Cancellation& cancellation, std::chrono::steady_clock::time_point deadline) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(1400);
    if (::inet_pton(AF_INET, cancellation.host.constData(), &address.sin_addr) != 1)
        return;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
              (errno == EINPROGRESS && waitFor(fd, POLLOUT, deadline));
    if (ok) {
        int error = 0;
        socklen_t length = sizeof error;
        ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    qsizetype sent = 0;
    while (ok && sent < cancellation.request.size()) {
        const ssize_t n = ::send(fd, cancellation.request.constData() + sent,
                                 size_t(cancellation.request.size() - sent), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n < 0 && (errno == EAGAIN || errno == EINTR))
            ok = waitFor(fd, POLLOUT, deadline);
        else
            ok = false;
    }
    // The answer's status is of no interest; its arrival (or the peer closing) ends the wait.
    if (ok && waitFor(fd, POLLIN, deadline)) {
        char buffer[512];
        [[maybe_unused]] const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    }
    ::close(fd);
}

QString summary(const Fields& fields) {
    QStringList parts;
    for (const char* key :
         {"TransportState", "CurrentTrackURI", "Volume", "Mute", "GroupVolume", "GroupMute"}) {
        const auto found = fields.constFind(QLatin1String(key));
        if (found != fields.cend())
            parts.append(QLatin1String(key) + QLatin1Char('=') + found->left(60));
    }
    return parts.join(QLatin1Char(' '));
}

QString describe(const std::exception& error) {
    if (const auto* sonos = dynamic_cast<const SonosError*>(&error))
        return sonos->errorDescription.value_or(QString());
    if (const auto* transport = dynamic_cast<const TransportError*>(&error))
        return transport->message;
    return QString::fromUtf8(error.what());
}

} // namespace

QString rawValue(EventService service) {
    switch (service) {
    case EventService::avTransport:
        return QStringLiteral("MediaRenderer/AVTransport");
    case EventService::groupRenderingControl:
        return QStringLiteral("MediaRenderer/GroupRenderingControl");
    case EventService::renderingControl:
        return QStringLiteral("MediaRenderer/RenderingControl");
    case EventService::zoneGroupTopology:
        return QStringLiteral("ZoneGroupTopology");
    }
    return {};
}

std::optional<EventService> eventServiceFrom(const QString& raw) {
    for (auto s : {EventService::avTransport, EventService::groupRenderingControl,
                   EventService::renderingControl, EventService::zoneGroupTopology})
        if (rawValue(s) == raw)
            return s;
    return std::nullopt;
}

QString eventPath(EventService service) {
    return QLatin1Char('/') + rawValue(service) + QStringLiteral("/Event");
}

QString Events::Target::callbackPath() const {
    return QLatin1Char('/') + uuid + QLatin1Char('/') + rawValue(service);
}

size_t qHash(const Events::Target& target, size_t seed) {
    return qHashMulti(seed, target.uuid, target.host, rawValue(target.service));
}

Events::Events(QObject* parent) : QObject(parent) {}

Events::~Events() {
    Clock::cancel(maintenance_);
}

std::optional<quint16> Events::port() const {
    return server_ ? server_->port() : std::nullopt;
}

std::optional<QString> Events::lookup(const QString& host) const {
    return lookup_ ? lookup_(host) : localAddress(host);
}

// ---- Requests ----

std::optional<QString> Events::localAddress(const QString& host) {
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(1400);
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &remote.sin_addr) != 1 ||
        host != QString::fromLatin1(host.toLatin1()))
        return std::nullopt;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    std::optional<QString> result;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    char text[INET_ADDRSTRLEN] = {};
    // A datagram connect only picks the route; nothing is sent.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 && local.sin_family == AF_INET &&
        ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text))
        result = QString::fromLatin1(text);
    ::close(fd);
    return result;
}

double Events::grantedSeconds(const std::optional<QByteArray>& timeout) {
    if (!timeout)
        return 3600;
    QByteArray rest = *timeout;
    rest.replace("Second-", "");
    bool ok = false;
    const double seconds = rest.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0)
        return 3600;
    // A grant of "Second-1e300" must neither overflow the expiry time nor put the renewal out
    // of reach: a day is far beyond anything asked for, and renewing then costs nothing.
    return std::min(seconds, longestGrant);
}

QCoro::Task<Events::Grant> Events::send(QByteArray method, Target target,
                                        QList<QPair<QByteArray, QByteArray>> headers) {
    const auto url = Http::speakerUrl(target.host, eventPath(target.service));
    if (!url)
        throw TransportError(QNetworkReply::ProtocolInvalidOperationError,
                             QStringLiteral("no URL can be formed for host \"%1\"").arg(target.host));
    QNetworkRequest request(*url);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    const HttpResponse response = co_await Http::send(request, method, {}, Delays::requestTimeout);
    if (response.status != 200)
        throw SonosError(QString::fromLatin1(method) + QStringLiteral(" HTTP ") +
                             QString::number(response.status),
                         std::nullopt);
    Grant grant;
    grant.sid = QString::fromUtf8(response.header("SID").trimmed());
    grant.seconds = grantedSeconds(response.hasHeader("TIMEOUT")
                                       ? std::optional<QByteArray>(response.header("TIMEOUT").trimmed())
                                       : std::nullopt);
    co_return grant;
}

QCoro::Task<> Events::cancel(Target target, QString sid) {
    try {
        const QList<QPair<QByteArray, QByteArray>> headers{{QByteArray("SID"), sid.toUtf8()}};
        co_await send(QByteArray("UNSUBSCRIBE"), target, headers);
    } catch (const std::exception&) {
        // A cancellation that fails or gets no answer changes nothing here.
    }
}

// ---- Life ----

void Events::start() {
    if (server_)
        return;
    QPointer<Events> self(this);
    QString error;
    server_ = EventServer::create(
        [self](const EventServer::Notification& notification) {
            if (self)
                self->received(notification.path, notification.host, notification.sid, notification.body);
        },
        &error);
    if (!server_)
        qCCritical(logEvents, "Event server failed: %s", qUtf8Printable(error));

    Clock::cancel(maintenance_);
    scheduleMaintenance();

    SystemEvents& system = SystemEvents::instance();
    system.watch();
    connect(&system, &SystemEvents::didWake, this, &Events::resubscribeAll, Qt::UniqueConnection);
}

void Events::scheduleMaintenance() {
    maintenance_ = Clock::schedule(Delays::eventMaintenance, this, [this] {
        scheduleMaintenance();
        maintain();
    });
}

void Events::stop() {
    Clock::cancel(maintenance_);
    maintenance_ = 0;
    QList<Cancellation> cancellations;
    for (auto it = active_.cbegin(); it != active_.cend(); ++it) {
        const Target& target = it.key();
        const QByteArray host = target.host.toLatin1();
        cancellations.append({host, "UNSUBSCRIBE " + eventPath(target.service).toUtf8() +
                                        " HTTP/1.1\r\nHOST: " + host + ":1400\r\nSID: " + it->sid.toUtf8() +
                                        "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"});
    }
    active_.clear();
    emit subscriptionsChanged();
    if (cancellations.isEmpty())
        return;

    // Each cancellation runs on a detached thread that owns its data and a share of the
    // semaphore, so a wait that gives up leaves nothing behind that a late thread could touch.
    const auto start = std::chrono::steady_clock::now();
    const auto done = std::make_shared<QSemaphore>();
    for (const Cancellation& cancellation : cancellations)
        std::thread([cancellation, done, deadline = start + Delays::requestTimeout] {
            sendBlocking(cancellation, deadline);
            done->release();
        }).detach();
    done->tryAcquire(int(cancellations.size()), int(Delays::eventStopLimit.count()));
}

bool Events::healthy() const {
    if (!port() || desired_.isEmpty())
        return false;
    for (const Target& target : desired_) {
        const auto found = active_.constFind(target);
        if (found == active_.cend() || !seen_.contains(found->sid))
            return false;
    }
    return true;
}

// ---- The wanted set and its upkeep ----

void Events::sync(const QList<GroupAddresses>& groups) {
    QSet<Target> wanted;
    QList<SpeakerAddress> all;
    for (const GroupAddresses& group : groups) {
        wanted.insert({group.coordinator.id, group.coordinator.host, EventService::avTransport});
        wanted.insert({group.coordinator.id, group.coordinator.host, EventService::groupRenderingControl});
        for (const SpeakerAddress& room : group.rooms) {
            wanted.insert({room.id, room.host, EventService::renderingControl});
            all.append(room);
        }
    }
    // One topology subscription for the whole household: it stays where it is while that
    // speaker is still there at the same address, else it goes to the first room.
    if (!all.isEmpty()) {
        std::optional<Target> topology;
        for (const Target& target : std::as_const(desired_))
            if (target.service == EventService::zoneGroupTopology)
                for (const SpeakerAddress& room : all)
                    if (room.id == target.uuid && room.host == target.host)
                        topology = target;
        wanted.insert(
            topology.value_or(Target{all.first().id, all.first().host, EventService::zoneGroupTopology}));
    }
    desired_ = wanted;

    const QList<Target> current = active_.keys();
    for (const Target& target : current)
        if (!desired_.contains(target))
            unsubscribe(target);
    for (const Target& target : std::as_const(desired_))
        if (!active_.contains(target))
            subscribe(target);
    emit subscriptionsChanged();
}

void Events::maintain() {
    // On the monotonic clock: setting the wall clock back must not delay renewals.
    const Clock::Instant limit = Clock::monotonic() + std::chrono::seconds(qint64(renewalMargin));
    const auto snapshot = active_;
    for (auto it = snapshot.cbegin(); it != snapshot.cend(); ++it) {
        const Target& target = it.key();
        const auto address = lookup(target.host);
        if (!address || *address != it->callbackIP) {
            unsubscribe(target);
            continue;
        }
        if (it->expires < limit && !inFlight_.contains(target))
            renew(target, *it);
    }
    for (const Target& target : std::as_const(desired_))
        if (!active_.contains(target))
            subscribe(target);
}

void Events::resubscribe(const QString& uuid) {
    const QList<Target> current = active_.keys();
    for (const Target& target : current)
        if (target.uuid == uuid)
            unsubscribe(target);
    for (const Target& target : std::as_const(desired_))
        if (target.uuid == uuid && !active_.contains(target))
            subscribe(target);
}

QCoro::Task<std::optional<QString>> Events::readTopology(QString host) {
    QPointer<Events> self(this);
    const auto listening = port();
    const auto callbackIP = lookup(host);
    if (!listening || !callbackIP)
        co_return std::nullopt;
    const QString token = QStringLiteral("topology-read-%1").arg(++nextTopologyRead_);
    const Target target{token, host, EventService::zoneGroupTopology};
    topologyReads_.insert(token, {host, std::nullopt});
    std::optional<Grant> grant;
    try {
        const QByteArray callback = "<http://" + callbackIP->toUtf8() + ':' + QByteArray::number(*listening) +
                                    target.callbackPath().toUtf8() + '>';
        const QList<QPair<QByteArray, QByteArray>> headers{{QByteArray("CALLBACK"), callback},
                                                           {QByteArray("NT"), QByteArray("upnp:event")},
                                                           {QByteArray("TIMEOUT"), QByteArray("Second-60")}};
        grant = co_await send(QByteArray("SUBSCRIBE"), target, headers);
    } catch (const std::exception& error) {
        qCInfo(logEvents, "Topology read on %s failed: %s", qUtf8Printable(host),
               qUtf8Printable(describe(error)));
    }
    if (!self)
        co_return std::nullopt;
    // The event may come before the reply or after it.
    QDeadlineTimer deadline(Delays::requestTimeout);
    while (grant && !topologyReads_.value(token).document && !deadline.hasExpired()) {
        const auto arrived =
            co_await qCoro(this, &Events::topologyArrived,
                           std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 1)));
        if (!self)
            co_return std::nullopt;
        if (!arrived)
            break;
    }
    const std::optional<QString> document = topologyReads_.take(token).document;
    if (grant)
        cancel(target, grant->sid);
    co_return document;
}

void Events::resubscribeAll() {
    const QList<Target> current = active_.keys();
    for (const Target& target : current)
        unsubscribe(target);
    for (const Target& target : std::as_const(desired_))
        subscribe(target);
}

// ---- One target ----

void Events::subscribe(const Target& target) {
    const auto listening = port();
    if (!listening || inFlight_.contains(target))
        return;
    const auto callbackIP = lookup(target.host);
    if (!callbackIP)
        return;
    inFlight_.insert(target);
    runSubscribe(target, *callbackIP, *listening);
}

QCoro::Task<> Events::runSubscribe(Target target, QString callbackIP, quint16 port) {
    QPointer<Events> self(this);
    const QByteArray callback = "<http://" + callbackIP.toUtf8() + ':' + QByteArray::number(port) +
                                target.callbackPath().toUtf8() + '>';
    std::optional<Grant> grant;
    QString failure;
    try {
        const QList<QPair<QByteArray, QByteArray>> headers{
            {QByteArray("CALLBACK"), callback},
            {QByteArray("NT"), QByteArray("upnp:event")},
            {QByteArray("TIMEOUT"), QByteArray(requestedTimeout)}};
        grant = co_await send(QByteArray("SUBSCRIBE"), target, headers);
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    if (!self)
        co_return;
    if (grant && !desired_.contains(target)) {
        // No longer wanted while the request was under way: cancel what the speaker granted.
        co_await cancel(target, grant->sid);
        if (!self)
            co_return;
    } else if (grant) {
        active_.insert(target, {grant->sid,
                                Clock::monotonic() + std::chrono::milliseconds(qint64(grant->seconds * 1000)),
                                callbackIP});
        qCInfo(logEvents, "Subscribed %s on %s → %s:%hu", qUtf8Printable(rawValue(target.service)),
               qUtf8Printable(target.host), qUtf8Printable(callbackIP), port);
    } else {
        qCCritical(logEvents, "Subscribe %s on %s failed: %s", qUtf8Printable(rawValue(target.service)),
                   qUtf8Printable(target.host), qUtf8Printable(failure));
    }
    inFlight_.remove(target);
    emit subscriptionsChanged();
}

void Events::renew(const Target& target, const Subscription& subscription) {
    inFlight_.insert(target);
    runRenew(target, subscription);
}

QCoro::Task<> Events::runRenew(Target target, Subscription subscription) {
    QPointer<Events> self(this);
    std::optional<Grant> grant;
    try {
        const QList<QPair<QByteArray, QByteArray>> headers{
            {QByteArray("SID"), subscription.sid.toUtf8()},
            {QByteArray("TIMEOUT"), QByteArray(requestedTimeout)}};
        grant = co_await send(QByteArray("SUBSCRIBE"), target, headers);
    } catch (const std::exception&) {
    }
    if (!self)
        co_return;
    inFlight_.remove(target);
    if (grant) {
        const auto entry = active_.find(target);
        if (entry != active_.end())
            entry->expires = Clock::monotonic() + std::chrono::milliseconds(qint64(grant->seconds * 1000));
        co_return;
    }
    // The speaker no longer knows the subscription (it restarted, or it expired): start over.
    active_.remove(target);
    seen_.remove(subscription.sid);
    emit subscriptionsChanged();
    subscribe(target);
}

void Events::unsubscribe(const Target& target) {
    const auto entry = active_.constFind(target);
    if (entry == active_.cend())
        return;
    const QString sid = entry->sid;
    active_.erase(entry);
    seen_.remove(sid);
    emit subscriptionsChanged();
    cancel(target, sid);
}

// ---- Intake ----

Fields Events::flatten(const QByteArray& body) {
    Fields fields = LeafParser::parse(body);
    const auto lastChange = fields.constFind(QStringLiteral("LastChange"));
    if (lastChange != fields.cend()) {
        const Fields variables = LastChangeParser::parse(*lastChange);
        for (auto it = variables.cbegin(); it != variables.cend(); ++it)
            if (!fields.contains(it.key()))
                fields.insert(it.key(), it.value());
    }
    return fields;
}

namespace {

// The speaker id and service of an event path "/<uuid>/<service>"; nothing for any other path.
std::optional<std::pair<QString, EventService>> eventPathParts(const QString& path) {
    // The service's own name holds slashes ("MediaRenderer/AVTransport"): the id ends at the first.
    const QString rest = path.mid(1);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash <= 0)
        return std::nullopt;
    const auto service = eventServiceFrom(rest.mid(slash + 1));
    if (!service)
        return std::nullopt;
    return std::make_pair(rest.left(slash), *service);
}

} // namespace

bool Events::receivedTopologyRead(const QString& uuid, const QString& remote, const QByteArray& body) {
    const auto read = topologyReads_.find(uuid);
    if (read == topologyReads_.end())
        return false;
    if (read->host != remote || read->document)
        return true;
    const Fields fields = flatten(body);
    const auto document = fields.constFind(QStringLiteral("ZoneGroupState"));
    if (document == fields.cend())
        return true;
    read->document = *document;
    emit topologyArrived(uuid);
    return true;
}

void Events::received(const QString& path, const QString& remote, const std::optional<QString>& sid,
                      const QByteArray& body) {
    const auto parts = eventPathParts(path);
    if (!parts)
        return;
    const auto& [uuid, service] = *parts;
    if (service == EventService::zoneGroupTopology && receivedTopologyRead(uuid, remote, body))
        return;
    std::optional<Target> target;
    for (const Target& wanted : std::as_const(desired_))
        if (wanted.uuid == uuid && wanted.service == service && (!target || wanted.host == remote))
            target = wanted;
    if (!target || target->host != remote)
        return;
    if (sid && !seen_.contains(*sid)) {
        seen_.insert(*sid);
        emit subscriptionsChanged();
    }
    const Fields fields = flatten(body);
    qCInfo(logEvents, "NOTIFY %s %s %s", qUtf8Printable(rawValue(target->service)),
           qUtf8Printable(target->host), qUtf8Printable(summary(fields)));
    if (onEvent)
        onEvent(*target, fields);
}
