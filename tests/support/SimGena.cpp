#include "SimGena.h"

#include "SpeakerSimulator.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <memory>

namespace sim {

namespace {

constexpr int notifyLimitMs = 3000;

QString flag(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<EventService> serviceOfEventPath(const QByteArray& path) {
    for (EventService service : {EventService::avTransport, EventService::groupRenderingControl,
                                 EventService::renderingControl, EventService::zoneGroupTopology})
        if (eventPath(service).toUtf8() == path)
            return service;
    return std::nullopt;
}

QByteArray propertySet(const QList<QPair<QString, QString>>& properties) {
    QString text = QStringLiteral("<e:propertyset xmlns:e=\"urn:schemas-upnp-org:event-1-0\">");
    for (const auto& [name, value] : properties)
        text += QStringLiteral("<e:property><%1>%2</%1></e:property>").arg(name, xmlEscape(value));
    return (text + QStringLiteral("</e:propertyset>")).toUtf8();
}

QString lastChange(const QString& ns, const QList<QPair<QString, QString>>& variables) {
    QString text =
        QStringLiteral("<Event xmlns=\"%1\" xmlns:r=\"urn:schemas-rinconnetworks-com:metadata-1-0/\">"
                       "<InstanceID val=\"0\">")
            .arg(ns);
    for (const auto& [element, value] : variables) {
        // "Volume channel=\"LF\"" style names carry their attributes.
        text += QLatin1Char('<') + element + QStringLiteral(" val=\"") + xmlEscape(value) +
                QStringLiteral("\"/>");
    }
    return text + QStringLiteral("</InstanceID></Event>");
}

QList<const FakeSpeaker*> members(const FakeHousehold& household, const FakeSpeaker& speaker) {
    QList<const FakeSpeaker*> found;
    if (const FakeGroup* group = household.groupOf(speaker.uuid))
        for (const QString& uuid : group->members)
            if (const FakeSpeaker* member = household.speakerByUuid(uuid))
                found.append(member);
    if (found.isEmpty())
        found.append(&speaker);
    return found;
}

// The status of an HTTP answer's head, or 0 while the head is not complete.
int statusOf(const QByteArray& buffer) {
    if (!buffer.contains("\r\n\r\n"))
        return 0;
    const QList<QByteArray> words = buffer.left(buffer.indexOf("\r\n")).split(' ');
    bool ok = false;
    const int status = words.value(1).toInt(&ok);
    return ok ? status : -1;
}

QByteArray notifyRequest(const SentNotify& message) {
    QByteArray head =
        "NOTIFY " + message.path + " HTTP/1.1\r\nHOST: " + message.toHost.toUtf8() + ':' +
        QByteArray::number(message.toPort) +
        "\r\nCONTENT-TYPE: text/xml; charset=\"utf-8\"\r\nNT: upnp:event\r\nNTS: upnp:propchange\r\n";
    if (message.sid)
        head += "SID: " + *message.sid + "\r\n";
    if (message.seq)
        head += "SEQ: " + QByteArray::number(*message.seq) + "\r\n";
    head += "CONTENT-LENGTH: " + QByteArray::number(message.body.size()) + "\r\nConnection: close\r\n\r\n";
    return head + message.body;
}

} // namespace

QByteArray eventBody(const FakeHousehold& household, const FakeSpeaker& speaker, EventService service) {
    switch (service) {
    case EventService::avTransport: {
        const TransportState& transport = speaker.transport;
        return propertySet(
            {{QStringLiteral("LastChange"),
              lastChange(QStringLiteral("urn:schemas-upnp-org:metadata-1-0/AVT/"),
                         {{QStringLiteral("TransportState"), transport.state},
                          {QStringLiteral("CurrentPlayMode"), QStringLiteral("NORMAL")},
                          {QStringLiteral("NumberOfTracks"), QString::number(transport.queue.size())},
                          {QStringLiteral("CurrentTrack"), QString::number(transport.track)},
                          {QStringLiteral("CurrentTrackURI"), transport.trackUri},
                          {QStringLiteral("CurrentTrackDuration"), transport.trackDuration},
                          {QStringLiteral("CurrentTrackMetaData"), transport.trackMetaData},
                          {QStringLiteral("AVTransportURI"), transport.avTransportUri},
                          {QStringLiteral("AVTransportURIMetaData"), transport.avTransportMetaData},
                          {QStringLiteral("r:SleepTimerGeneration"), QStringLiteral("0")}})}});
    }
    case EventService::renderingControl: {
        const RoomState& room = speaker.room;
        QList<QPair<QString, QString>> variables{
            {QStringLiteral("Volume channel=\"Master\""), QString::number(room.volume)},
            {QStringLiteral("Volume channel=\"LF\""), QStringLiteral("100")},
            {QStringLiteral("Volume channel=\"RF\""), QStringLiteral("100")},
            {QStringLiteral("Mute channel=\"Master\""), flag(room.mute)},
            {QStringLiteral("Mute channel=\"LF\""), QStringLiteral("0")},
            {QStringLiteral("Bass"), QString::number(room.bass)},
            {QStringLiteral("Treble"), QString::number(room.treble)},
            {QStringLiteral("Loudness channel=\"Master\""), flag(room.loudness)}};
        if (speaker.tv) {
            variables.append({QStringLiteral("NightMode"), flag(room.nightMode)});
            variables.append({QStringLiteral("DialogLevel"), flag(room.dialogLevel)});
        }
        return propertySet(
            {{QStringLiteral("LastChange"),
              lastChange(QStringLiteral("urn:schemas-upnp-org:metadata-1-0/RCS/"), variables)}});
    }
    case EventService::groupRenderingControl: {
        const auto all = members(household, speaker);
        int sum = 0;
        bool muted = true;
        for (const FakeSpeaker* member : all) {
            sum += member->room.volume;
            muted = muted && member->room.mute;
        }
        const int volume = (sum + int(all.size()) / 2) / int(all.size());
        return propertySet({{QStringLiteral("GroupVolume"), QString::number(volume)},
                            {QStringLiteral("GroupMute"), flag(muted)},
                            {QStringLiteral("GroupVolumeChangeable"), QStringLiteral("1")}});
    }
    case EventService::zoneGroupTopology:
        return propertySet({{QStringLiteral("ZoneGroupState"), zoneGroupState(household)}});
    }
    return {};
}

SimGena::SimGena(SpeakerSimulator& simulator) : simulator_(simulator) {
    simulator_.setMethodHandler("SUBSCRIBE", [this](const SimRequest& request, FakeHousehold& household) {
        return subscribe(request, household);
    });
    simulator_.setMethodHandler(
        "UNSUBSCRIBE", [this](const SimRequest& request, FakeHousehold&) { return unsubscribe(request); });
}

void SimGena::setGrant(const QString& host, const GenaGrant& grant) {
    QMutexLocker lock(&mutex_);
    grants_.insert(host, grant);
}

GenaGrant SimGena::grantFor(const QString& host) const {
    if (const auto found = grants_.constFind(host); found != grants_.cend())
        return *found;
    return grants_.value(QString(), GenaGrant{});
}

void SimGena::forgetAll(const QString& host) {
    QMutexLocker lock(&mutex_);
    subscriptions_.removeIf([&](const GenaSubscription& s) { return host.isEmpty() || s.host == host; });
}

QList<GenaSubscription> SimGena::subscriptions(const QString& host) const {
    QMutexLocker lock(&mutex_);
    QList<GenaSubscription> found;
    for (const GenaSubscription& s : subscriptions_)
        if (host.isEmpty() || s.host == host)
            found.append(s);
    return found;
}

QList<SimRequest> SimGena::requests(const QString& host) const {
    QList<SimRequest> found;
    for (const SimRequest& request : simulator_.requests())
        if ((request.method == "SUBSCRIBE" || request.method == "UNSUBSCRIBE") &&
            (host.isEmpty() || request.host == host))
            found.append(request);
    return found;
}

QList<SentNotify> SimGena::notifies() const {
    QMutexLocker lock(&mutex_);
    return sent_;
}

int SimGena::answeredNotifies() const {
    QMutexLocker lock(&mutex_);
    return int(
        std::count_if(sent_.cbegin(), sent_.cend(), [](const SentNotify& m) { return m.status != 0; }));
}

std::optional<HttpReply> SimGena::subscribe(const SimRequest& request, FakeHousehold& household) {
    const auto service = serviceOfEventPath(request.path);
    const FakeSpeaker* speaker = household.speakerByHost(request.host);
    if (!service || !speaker)
        return HttpReply{404, {}, {}};
    const bool hasSid = request.hasHeader("SID");
    if (hasSid && (request.hasHeader("CALLBACK") || request.hasHeader("NT")))
        return HttpReply{400, {}, {}};

    QMutexLocker lock(&mutex_);
    const GenaGrant grant = grantFor(request.host);
    if (grant.status != 200)
        return HttpReply{grant.status, {}, {}};
    const int seconds = int(Events::grantedSeconds(grant.timeout));
    const auto headers = [&](const QString& sid) {
        QList<QPair<QByteArray, QByteArray>> list;
        if (grant.sendSid)
            list.append({"SID", sid.toUtf8()});
        if (grant.timeout)
            list.append({"TIMEOUT", *grant.timeout});
        return list;
    };

    if (hasSid) {
        const QString sid = QString::fromUtf8(request.header("SID"));
        for (GenaSubscription& s : subscriptions_)
            if (s.sid == sid && s.host == request.host && s.service == *service && !s.expires.hasExpired()) {
                s.expires = QDeadlineTimer(qint64(seconds) * 1000);
                return HttpReply{200, headers(sid), {}};
            }
        return HttpReply{412, {}, {}};
    }

    // A new subscription: one callback URL in angle brackets and NT "upnp:event".
    const QByteArray callback = request.header("CALLBACK");
    const qsizetype open = callback.indexOf('<');
    const qsizetype close = callback.indexOf('>', open + 1);
    const QUrl url(open < 0 || close < 0 ? QString()
                                         : QString::fromUtf8(callback.mid(open + 1, close - open - 1)),
                   QUrl::StrictMode);
    if (request.header("NT") != "upnp:event" || !url.isValid() || url.scheme() != QLatin1String("http") ||
        url.port() <= 0)
        return HttpReply{412, {}, {}};

    GenaSubscription subscription;
    subscription.sid =
        QStringLiteral("uuid:%1_sub%2").arg(speaker->uuid).arg(nextSid_++, 10, 10, QLatin1Char('0'));
    subscription.host = request.host;
    subscription.uuid = speaker->uuid;
    subscription.service = *service;
    subscription.callbackHost = url.host();
    subscription.callbackPort = quint16(url.port());
    subscription.callbackPath = url.path(QUrl::FullyEncoded).toUtf8();
    subscription.expires = QDeadlineTimer(qint64(seconds) * 1000);
    subscriptions_.append(subscription);

    if (grant.initialNotify) {
        SentNotify message{speaker->host,
                           subscription.callbackHost,
                           subscription.callbackPort,
                           subscription.callbackPath,
                           subscription.sid.toUtf8(),
                           subscriptions_.last().seq++,
                           eventBody(household, *speaker, *service),
                           0};
        lock.unlock();
        send(message, grant.notifyBeforeReply);
    }
    return HttpReply{200, headers(subscription.sid), {}};
}

std::optional<HttpReply> SimGena::unsubscribe(const SimRequest& request) {
    const QString sid = QString::fromUtf8(request.header("SID"));
    QMutexLocker lock(&mutex_);
    const auto found =
        std::find_if(subscriptions_.begin(), subscriptions_.end(), [&](const GenaSubscription& s) {
            return !sid.isEmpty() && s.sid == sid && s.host == request.host &&
                   eventPath(s.service).toUtf8() == request.path;
        });
    if (found == subscriptions_.end())
        return HttpReply{412, {}, {}};
    subscriptions_.erase(found);
    return HttpReply{200, {}, {}};
}

void SimGena::changed(const QString& uuid, Service service) {
    switch (service) {
    case Service::avTransport:
        notify(uuid, EventService::avTransport);
        break;
    case Service::renderingControl:
        notify(uuid, EventService::renderingControl);
        break;
    case Service::groupRenderingControl:
        notify(uuid, EventService::groupRenderingControl);
        break;
    case Service::zoneGroupTopology:
    case Service::deviceProperties: // a renamed room shows in the topology
        notify(uuid, EventService::zoneGroupTopology);
        break;
    case Service::contentDirectory:
        break;
    }
}

void SimGena::notify(const QString& uuid, EventService service) {
    const FakeHousehold household = simulator_.household();
    notifyLocked(household, uuid, service);
}

void SimGena::notifyLocked(const FakeHousehold& household, const QString& uuid, EventService service) {
    QList<SentNotify> messages;
    {
        QMutexLocker lock(&mutex_);
        for (GenaSubscription& s : subscriptions_) {
            // Every speaker reports the household's topology; the other services are its own.
            if (s.service != service || (service != EventService::zoneGroupTopology && s.uuid != uuid))
                continue;
            const FakeSpeaker* speaker = household.speakerByUuid(s.uuid);
            if (!speaker)
                continue;
            messages.append({s.host, s.callbackHost, s.callbackPort, s.callbackPath, s.sid.toUtf8(), s.seq++,
                             eventBody(household, *speaker, service), 0});
        }
    }
    for (const SentNotify& message : messages)
        send(message, false);
}

void SimGena::change(const std::function<void(FakeHousehold&)>& change,
                     const QList<QPair<QString, EventService>>& notify) {
    simulator_.update(change);
    const FakeHousehold household = simulator_.household();
    for (const auto& [uuid, service] : notify)
        notifyLocked(household, uuid, service);
}

void SimGena::setTransportState(const QString& host, const QString& state) {
    const QString uuid = simulator_.speaker(host).uuid;
    change([&](FakeHousehold& h) { h.speakerByHost(host)->transport.state = state; },
           {{uuid, EventService::avTransport}});
}

void SimGena::setTrack(const QString& host, const QString& uri, const QString& metaData) {
    const QString uuid = simulator_.speaker(host).uuid;
    change(
        [&](FakeHousehold& h) {
            h.speakerByHost(host)->transport.trackUri = uri;
            h.speakerByHost(host)->transport.trackMetaData = metaData;
        },
        {{uuid, EventService::avTransport}});
}

void SimGena::setVolume(const QString& host, int volume) {
    const QString uuid = simulator_.speaker(host).uuid;
    const FakeGroup* group = nullptr;
    const FakeHousehold before = simulator_.household();
    group = before.groupOf(uuid);
    QList<QPair<QString, EventService>> events{{uuid, EventService::renderingControl}};
    if (group)
        events.append({group->coordinator, EventService::groupRenderingControl});
    change([&](FakeHousehold& h) { h.speakerByHost(host)->room.volume = volume; }, events);
}

void SimGena::setMute(const QString& host, bool mute) {
    const QString uuid = simulator_.speaker(host).uuid;
    const FakeHousehold before = simulator_.household();
    QList<QPair<QString, EventService>> events{{uuid, EventService::renderingControl}};
    if (const FakeGroup* group = before.groupOf(uuid))
        events.append({group->coordinator, EventService::groupRenderingControl});
    change([&](FakeHousehold& h) { h.speakerByHost(host)->room.mute = mute; }, events);
}

void SimGena::changeTopology(const std::function<void(FakeHousehold&)>& topology) {
    change(topology, {{QString(), EventService::zoneGroupTopology}});
}

QByteArray SimGena::body(const QString& uuid, EventService service) const {
    const FakeHousehold household = simulator_.household();
    const FakeSpeaker* speaker = household.speakerByUuid(uuid);
    return speaker ? eventBody(household, *speaker, service) : QByteArray();
}

void SimGena::sendRaw(const QString& from, const QString& toHost, quint16 toPort, const QByteArray& path,
                      const std::optional<QByteArray>& sid, const QByteArray& body) {
    send({from, toHost, toPort, path, sid, std::nullopt, body, 0}, false);
}

void SimGena::send(SentNotify message, bool wait) {
    int index = 0;
    {
        QMutexLocker lock(&mutex_);
        sent_.append(std::move(message));
        index = int(sent_.size()) - 1;
    }
    if (wait)
        deliver(index, true);
    else
        QMetaObject::invokeMethod(
            simulator_.threadContext(), [this, index] { deliver(index, false); }, Qt::QueuedConnection);
}

// Runs on the simulator's thread. The client socket is bound to the speaker's own address, as
// a speaker's NOTIFY comes from it.
void SimGena::deliver(int index, bool wait) {
    SentNotify message;
    {
        QMutexLocker lock(&mutex_);
        message = sent_[index];
    }
    const auto finish = [this, index](int status) {
        QMutexLocker lock(&mutex_);
        if (sent_[index].status == 0)
            sent_[index].status = status;
    };
    const QByteArray request = notifyRequest(message);

    if (wait) {
        QTcpSocket socket;
        if (!socket.bind(QHostAddress(message.from), 0)) {
            finish(-1);
            return;
        }
        socket.connectToHost(message.toHost, message.toPort);
        if (!socket.waitForConnected(notifyLimitMs)) {
            finish(-1);
            return;
        }
        socket.write(request);
        QByteArray answer;
        while (statusOf(answer) == 0 && socket.waitForReadyRead(notifyLimitMs))
            answer += socket.readAll();
        finish(statusOf(answer) == 0 ? -1 : statusOf(answer));
        socket.abort();
        return;
    }

    auto* socket = new QTcpSocket(simulator_.threadContext());
    if (!socket->bind(QHostAddress(message.from), 0)) {
        finish(-1);
        delete socket;
        return;
    }
    auto answer = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::connected, socket, [socket, request] { socket->write(request); });
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, answer, finish] {
        *answer += socket->readAll();
        if (const int status = statusOf(*answer)) {
            finish(status);
            socket->disconnectFromHost();
            socket->deleteLater();
        }
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, finish] {
        finish(-1);
        socket->deleteLater();
    });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket, [socket, finish] {
        finish(-1);
        socket->deleteLater();
    });
    QTimer::singleShot(notifyLimitMs, socket, [socket, finish] {
        finish(-1);
        socket->abort();
        socket->deleteLater();
    });
    socket->connectToHost(message.toHost, message.toPort);
}

} // namespace sim
