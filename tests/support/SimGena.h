#pragma once

#include "FakeSpeaker.h"
#include "SimRequest.h"
#include "protocol/Events.h"
#include "protocol/Service.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

#include <functional>
#include <optional>

namespace sim {

class SpeakerSimulator;

// How a speaker answers SUBSCRIBE requests (new ones and renewals).
struct GenaGrant {
    int status = 200;                                  // another status answers with it, nothing stored
    std::optional<QByteArray> timeout = "Second-3600"; // the TIMEOUT header; nothing omits it
    bool sendSid = true;                               // false omits the SID header (it is still kept)
    bool initialNotify = true;                         // the NOTIFY with the full state after a new one
    bool notifyBeforeReply = false;                    // that NOTIFY is answered before the SUBSCRIBE is
};

// One subscription a speaker holds.
struct GenaSubscription {
    QString sid;
    QString host; // the speaker holding it
    QString uuid;
    EventService service;
    QString callbackHost;
    quint16 callbackPort = 0;
    QByteArray callbackPath;
    int seq = 0; // the SEQ of the next NOTIFY
    QDeadlineTimer expires;
};

// One NOTIFY a speaker sent, and how it ended.
struct SentNotify {
    QString from; // the address the client socket was bound to
    QString toHost;
    quint16 toPort = 0;
    QByteArray path;
    std::optional<QByteArray> sid;
    std::optional<int> seq;
    QByteArray body;
    int status = 0; // the answer's status; 0 while under way, -1 when it got none
};

// The GENA half of a fake speaker: SUBSCRIBE (new and renewal) and UNSUBSCRIBE on the event
// paths of port 1400, and NOTIFY requests from the speaker's own loopback address to the
// subscribers' callback URLs: an initial one after each new subscription and one after every
// change of state that the service publishes (the SOAP setters, and the changes injected here).
//
// Requests are answered like a speaker does: a SUBSCRIBE with a SID and a CALLBACK or NT is a
// 400; a renewal or UNSUBSCRIBE of an unknown or expired SID, or a new subscription without
// CALLBACK or NT "upnp:event", is a 412. Every GENA request lands in the simulator's request log.
// Every public member may be called from any thread.
class SimGena {
public:
    explicit SimGena(SpeakerSimulator& simulator);
    SimGena(const SimGena&) = delete;
    SimGena& operator=(const SimGena&) = delete;

    // How `host` (every speaker when empty) answers SUBSCRIBE; a host's grant outranks the
    // general one.
    void setGrant(const QString& host, const GenaGrant& grant);
    // A speaker restart: `host` (every speaker when empty) forgets its subscriptions.
    void forgetAll(const QString& host = {});
    // The subscriptions held right now, of `host` or of every speaker.
    QList<GenaSubscription> subscriptions(const QString& host = {}) const;
    // The SUBSCRIBE and UNSUBSCRIBE requests received, in order (`host` empty: all speakers).
    QList<SimRequest> requests(const QString& host = {}) const;
    // The NOTIFY requests sent, in order.
    QList<SentNotify> notifies() const;
    int answeredNotifies() const; // how many of them got an answer

    // External changes (someone else's app, the speaker's buttons): the state changes and the
    // subscribers of the service get a NOTIFY.
    void setTransportState(const QString& host, const QString& state);
    void setTrack(const QString& host, const QString& uri, const QString& metaData);
    void setVolume(const QString& host, int volume); // also the coordinator's group volume event
    void setMute(const QString& host, bool mute);
    void changeTopology(const std::function<void(FakeHousehold&)>& change);
    // Any change, followed by a NOTIFY of each (speaker uuid, service) pair.
    void change(const std::function<void(FakeHousehold&)>& change,
                const QList<QPair<QString, EventService>>& notify);
    // The event bodies a speaker sends for `service` of the speaker `uuid`.
    QByteArray body(const QString& uuid, EventService service) const;

    // A NOTIFY as given, from `from` (bound to that address) to `toHost`:`toPort`; the SID
    // header is left out when absent. Sent on the simulator's thread; watch `notifies()`.
    void sendRaw(const QString& from, const QString& toHost, quint16 toPort, const QByteArray& path,
                 const std::optional<QByteArray>& sid, const QByteArray& body);

    // Called by the simulator on its thread for a state change of a standard action.
    void changed(const QString& uuid, Service service);

private:
    std::optional<HttpReply> subscribe(const SimRequest& request, FakeHousehold& household);
    std::optional<HttpReply> unsubscribe(const SimRequest& request);
    void notify(const QString& uuid, EventService service);
    void notifyLocked(const FakeHousehold& household, const QString& uuid, EventService service);
    // Queues the NOTIFY of `subscription` on the simulator's thread; with `wait`, sends it at
    // once and returns when it was answered (on the simulator's thread only).
    void send(SentNotify message, bool wait);
    void deliver(int index, bool wait);
    GenaGrant grantFor(const QString& host) const;

    SpeakerSimulator& simulator_;
    mutable QMutex mutex_; // after the simulator's own lock when both are held
    QHash<QString, GenaGrant> grants_;
    QList<GenaSubscription> subscriptions_;
    QList<SentNotify> sent_;
    int nextSid_ = 1;
};

// The event body of a service as a speaker sends it (the LastChange forms for transport and
// room volume, top-level properties for group volume and topology).
QByteArray eventBody(const FakeHousehold& household, const FakeSpeaker& speaker, EventService service);

} // namespace sim
