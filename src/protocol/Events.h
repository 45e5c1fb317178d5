#pragma once

#include "core/Clock.h"
#include "protocol/LeafParser.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class EventServer;

// The four evented services of a speaker.
enum class EventService { avTransport, groupRenderingControl, renderingControl, zoneGroupTopology };

QString rawValue(EventService service);                           // "MediaRenderer/AVTransport", ...
std::optional<EventService> eventServiceFrom(const QString& raw); // exact match only
QString eventPath(EventService service);                          // "/" + raw value + "/Event"

// What the subscriber needs to know of the household's groups: who coordinates, who plays.
struct SpeakerAddress {
    QString id;   // the speaker's UUID
    QString host; // its address
};
struct GroupAddresses {
    SpeakerAddress coordinator;
    QList<SpeakerAddress> rooms; // in the household's room order
};

// Keeps the speakers' GENA event subscriptions alive and hands every accepted NOTIFY, as
// flattened fields, to `onEvent` on the main thread.
//
// From the household's groups it derives the (speaker, service) pairs to watch (`sync`),
// subscribes each with a callback URL on its own event server, renews a subscription when fewer
// than 15 minutes are left, subscribes anew when this machine's address on the route to a speaker
// changed (checked every 30 s on the clock) and after a wake from sleep, and cancels what is no
// longer wanted. Everything here runs on the main thread; requests run in coroutines that resume
// there.
class Events : public QObject {
    Q_OBJECT
public:
    struct Target {
        QString uuid;
        QString host;
        EventService service;
        QString callbackPath() const; // "/" + uuid + "/" + raw service
        bool operator==(const Target&) const = default;
    };

    // One subscription a speaker granted.
    struct Subscription {
        QString sid;            // as the speaker gave it; empty when it gave none
        Clock::Instant expires; // monotonic time of the reply plus the granted seconds
        QString callbackIP;     // the address the subscription's callback URL carries
    };

    // What a successful SUBSCRIBE gave: the SID (empty when absent) and the granted seconds.
    struct Grant {
        QString sid;
        double seconds = 3600;
    };

    // This machine's IPv4 address on the route to a speaker, or nothing.
    using AddressLookup = std::function<std::optional<QString>(const QString& host)>;

    explicit Events(QObject* parent = nullptr);
    ~Events() override;

    std::function<void(const Target&, const Fields&)> onEvent;

    // Brings up the event server, the 30 s maintenance on the clock and the wake observation.
    // Does nothing while a server exists.
    void start();
    // Makes the wanted targets match `groups` and starts the subscriptions and cancellations
    // that follow; returns at once.
    void sync(const QList<GroupAddresses>& groups);
    // Ends maintenance and cancels every subscription, waiting at most 1.0 s for the speakers'
    // answers. The cancellations need nothing from the calling thread.
    void stop();
    // Every wanted target is subscribed and has delivered an event, and the server listens.
    bool healthy() const;
    // The speaker `uuid` may hold none of its subscriptions any more (it restarted, or it did
    // not answer for a while): cancels what is known of them and subscribes its wanted targets
    // afresh.
    void resubscribe(const QString& uuid);
    // The topology document as the speaker at `host` sends it with the first event of a
    // subscription of its own, made for this read and cancelled after it. Nothing when the
    // server does not listen, the speaker refuses or no event comes within the time-out. For
    // households whose topology the speakers no longer give as a control reply.
    QCoro::Task<std::optional<QString>> readTopology(QString host);

    // Event intake: a NOTIFY as the event server received it.
    void received(const QString& path, const QString& remote, const std::optional<QString>& sid,
                  const QByteArray& body);
    // Takes a NOTIFY that answers a pending topology read of `uuid`; false when none is pending.
    bool receivedTopologyRead(const QString& uuid, const QString& remote, const QByteArray& body);

signals:
    // A topology read of `readTopology` got its event (under its own path piece `token`).
    void topologyArrived(const QString& token);

public:
    // Seam: the local address lookup (the real one is `localAddress`).
    void setAddressLookup(AddressLookup lookup) { lookup_ = std::move(lookup); }

    // Read-only views of the working state.
    const QSet<Target>& desired() const { return desired_; }
    const QHash<Target, Subscription>& active() const { return active_; }
    const QSet<Target>& inFlight() const { return inFlight_; }
    std::optional<quint16> port() const;

    // The local IPv4 address on the route to `host` (a dotted IPv4 address), found through a
    // datagram socket connected toward it; nothing leaves the machine. Nothing for any other
    // host text or when there is no route.
    static std::optional<QString> localAddress(const QString& host);
    // The fields of a NOTIFY body: its leaf elements, then the LastChange variables that the top
    // level lacks.
    static Fields flatten(const QByteArray& body);
    // The granted seconds of a TIMEOUT header value ("Second-1800"); 3600 when absent or when
    // the rest is not a finite, non-negative number; at most one day (86,400).
    static double grantedSeconds(const std::optional<QByteArray>& timeout);
    // One GENA request to the target's event URL with a 3.0 s time-out. Status 200 gives the
    // grant; another status throws SonosError ("<METHOD> HTTP <status>"); no answer throws
    // TransportError.
    static QCoro::Task<Grant> send(QByteArray method, Target target,
                                   QList<QPair<QByteArray, QByteArray>> headers);

signals:
    // The wanted targets, the subscriptions or their first events changed: healthy() may
    // answer otherwise now.
    void subscriptionsChanged();

private:
    void subscribe(const Target& target);
    void renew(const Target& target, const Subscription& subscription);
    void unsubscribe(const Target& target);
    void maintain();
    void resubscribeAll();
    void scheduleMaintenance();
    std::optional<QString> lookup(const QString& host) const;
    QCoro::Task<> runSubscribe(Target target, QString callbackIP, quint16 port);
    QCoro::Task<> runRenew(Target target, Subscription subscription);
    static QCoro::Task<> cancel(Target target, QString sid);

    std::unique_ptr<EventServer> server_;
    QSet<Target> desired_;
    QHash<Target, Subscription> active_;
    QSet<Target> inFlight_;
    QSet<QString> seen_;
    Clock::Id maintenance_ = 0;
    AddressLookup lookup_;
    // Topology reads under way: path piece -> (speaker host, the document once it came).
    struct TopologyRead {
        QString host;
        std::optional<QString> document;
    };
    QHash<QString, TopologyRead> topologyReads_;
    quint64 nextTopologyRead_ = 0;
};

size_t qHash(const Events::Target& target, size_t seed = 0);
