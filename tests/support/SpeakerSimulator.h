#pragma once

#include "FakeSpeaker.h"
#include "SimFault.h"
#include "SimRequest.h"
#include "protocol/Service.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace sim {

class SimServer;
class SimGena;
struct SimCore;

// What an action handler answers: fields of the <Action>Response element (values as text; they
// are escaped when written), or a UPnP fault.
struct SoapReply {
    int status = 200;
    QList<QPair<QString, QString>> fields;
    std::optional<QString> errorCode;

    static SoapReply ok(QList<QPair<QString, QString>> fields = {}) { return {200, std::move(fields), {}}; }
    static SoapReply fault(const QString& code, int status = 500) { return {status, {}, code}; }
};

// What a handler sees: the whole household (locked while it runs), the speaker addressed and
// the request. `changed` reports a state change to the change hook once the lock is released.
struct ActionContext {
    FakeHousehold& household;
    FakeSpeaker& speaker;
    const SimRequest& request;
    QList<QPair<QString, Service>> changes;

    QString arg(const QString& name) const { return request.arg(name); }
    void changed(const QString& uuid, Service service) {
        if (!changes.contains(qMakePair(uuid, service)))
            changes.append(qMakePair(uuid, service));
    }
};

using ActionHandler = std::function<SoapReply(ActionContext&)>;
// Answers a request of another method (SUBSCRIBE, UNSUBSCRIBE, ...) on the simulator's thread,
// with the household locked (it must not call the simulator's API); nothing means "405".
using MethodHandler = std::function<std::optional<HttpReply>(const SimRequest&, FakeHousehold&)>;
// Called on the simulator's thread, without the lock, after an action changed state that the
// speaker `uuid` publishes through `service`'s events.
using ChangeHook = std::function<void(const QString& uuid, Service service)>;

// A household of fake speakers on loopback, each an HTTP/1.1 server on its own address at
// port 1400, answering SOAP control actions and the device description like a real speaker.
// The servers run on a thread of their own, so they keep answering while the main thread is
// blocked. Every public member may be called from any thread.
class SpeakerSimulator {
public:
    // Starts a server for every speaker of `household`; throws std::runtime_error when an
    // address cannot be bound. The servers share one thread, or are spread over `threads`
    // threads (the household's speakers in turn), so that many speakers answer at once as real
    // ones do; requests to different speakers then reach the log in no fixed order.
    explicit SpeakerSimulator(FakeHousehold household, int threads = 1);
    ~SpeakerSimulator();
    SpeakerSimulator(const SpeakerSimulator&) = delete;
    SpeakerSimulator& operator=(const SpeakerSimulator&) = delete;

    // State.
    FakeHousehold household() const;
    FakeSpeaker speaker(const QString& host) const;
    void update(const std::function<void(FakeHousehold&)>& change);

    // Faults: for `action` (a SOAP action or a GET path) on `host`, or on every speaker when
    // `host` is empty. A fault for a host outranks one for every speaker.
    void setFault(const QString& host, const QString& action, const Fault& fault);
    // Queues `fault` behind the faults already set for the same host and action: it takes
    // effect once those have hit their number of requests (each queued fault needs a count).
    void addFault(const QString& host, const QString& action, const Fault& fault);
    void clearFaults();
    // Offline: the speaker's listener is closed and its connections dropped (connection refused).
    void setOffline(const QString& host, bool offline);

    // Closing: the speaker closes every connection after its answer ("Connection: close"), as
    // many real ones do, rather than keep it alive.
    void setClosesConnections(const QString& host, bool closes);

    // The request log, in arrival order.
    QList<SimRequest> requests() const;
    QList<SimRequest> requests(const QString& host, const QString& action) const;
    void clearRequests();

    // Extension points for later behaviour (grouping, queue, events).
    void setHandler(Service service, const QString& action, ActionHandler handler);
    // The handler installed for an action now, empty when there is none; a new handler can
    // hand the requests it does not answer on to it.
    ActionHandler handler(Service service, const QString& action) const;
    void setMethodHandler(const QByteArray& method, MethodHandler handler);
    void setChangeHook(ChangeHook hook);
    // An object living on the simulator's (first) thread, for work that must run there.
    QObject* threadContext() const;

    // The speakers' event subscriptions and the NOTIFY requests they send (SimGena.h).
    SimGena& gena() const { return *gena_; }

private:
    std::shared_ptr<SimCore> core_;
    std::unique_ptr<SimGena> gena_;
    SimServer* serverOf(const QString& host) const;
    void stop();

    std::vector<std::unique_ptr<QThread>> threads_;
    std::vector<SimServer*> servers_;   // one per thread, each on its own
    QHash<QString, SimServer*> placed_; // the household's speakers, spread evenly
};

// Text escaped for XML content and attributes.
QString xmlEscape(QString text);
// The ZoneGroupState document of a household, as a speaker gives it.
QString zoneGroupState(const FakeHousehold& household);
// The Browse Result document (DIDL-Lite) for favourites.
QString favoritesDidl(const QList<FakeFavorite>& favorites);

} // namespace sim
