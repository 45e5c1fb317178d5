// The GENA client against the loopback speakers: which targets it wants, how it subscribes,
// renews, moves and cancels, and when it counts as healthy.
#include "protocol/Events.h"
#include "core/Clock.h"
#include "core/Log.h"
#include "platform/SystemEvents.h"
#include "support/Await.h"
#include "support/SimGena.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;
using sim::GenaGrant;

namespace {

bool logged(const QDateTime& since, const QString& text) {
    for (const Log::Entry& entry : Log::readSince(since))
        if (entry.category.endsWith(QLatin1String(".events")) && entry.message.contains(text))
            return true;
    return false;
}

QStringList methods(const QList<sim::SimRequest>& requests) {
    QStringList list;
    for (const sim::SimRequest& request : requests)
        list.append(QString::fromLatin1(request.method));
    return list;
}

// Each test has speakers on addresses of its own: a request that a previous test left under way
// (the HTTP client resends one whose connection closed) must not reach this test's speakers.
int nextAddress = 2;

class EventsTest : public ::testing::Test {
protected:
    const QString a = test::loopback(nextAddress++);
    const QString b = test::loopback(nextAddress++);
    const QString c = test::loopback(nextAddress++);

    void SetUp() override {
        Clock::useManual();
        since = QDateTime::currentDateTimeUtc().addSecs(-1);
        simulator = std::make_unique<sim::SpeakerSimulator>(sim::FakeHousehold::solo({a, b, c}));
        events = std::make_unique<Events>();
        events->start();
        ASSERT_TRUE(events->port());
    }

    void TearDown() override {
        // Requests under way end (at the latest by their time-out) before their owner goes.
        EXPECT_TRUE(test::waitUntil([&] { return events->inFlight().isEmpty(); }));
        events.reset();
        simulator.reset();
        Clock::useReal();
    }

    sim::SimGena& gena() { return simulator->gena(); }
    QString uuid(const QString& host) const { return simulator->speaker(host).uuid; }
    SpeakerAddress room(const QString& host) const { return {uuid(host), host}; }
    GroupAddresses group(const QList<QString>& hosts) const {
        GroupAddresses group{room(hosts.first()), {}};
        for (const QString& host : hosts)
            group.rooms.append(room(host));
        return group;
    }
    Events::Target target(const QString& host, EventService service) const {
        return {uuid(host), host, service};
    }

    // Waits until every wanted target is subscribed and nothing is under way.
    bool settled() {
        return test::waitUntil([&] {
            if (!events->inFlight().isEmpty())
                return false;
            for (const Events::Target& t : events->desired())
                if (!events->active().contains(t))
                    return false;
            return true;
        });
    }
    std::optional<Events::Target> topologyTarget() const {
        for (const Events::Target& t : events->desired())
            if (t.service == EventService::zoneGroupTopology)
                return t;
        return std::nullopt;
    }

    QDateTime since;
    std::unique_ptr<sim::SpeakerSimulator> simulator;
    std::unique_ptr<Events> events;
};

} // namespace

TEST_F(EventsTest, TwoRoomGroupWantsFiveTargetsAndSubscribesEach) {
    EXPECT_FALSE(events->healthy()) << "nothing wanted yet";
    events->sync({group({a, b})});
    const QSet<Events::Target> expected{
        target(a, EventService::avTransport), target(a, EventService::groupRenderingControl),
        target(a, EventService::renderingControl), target(b, EventService::renderingControl),
        target(a, EventService::zoneGroupTopology)};
    EXPECT_EQ(events->desired(), expected);
    ASSERT_TRUE(settled());
    ASSERT_TRUE(test::waitUntil([&] { return events->healthy(); }));

    // Each new subscription: one callback URL on this machine's address toward the speaker.
    const QString callbackIP = *Events::localAddress(a);
    const auto requests = gena().requests();
    ASSERT_EQ(requests.size(), 5);
    for (const sim::SimRequest& request : requests) {
        EXPECT_EQ(request.method, "SUBSCRIBE");
        EXPECT_EQ(request.header("NT"), "upnp:event");
        EXPECT_EQ(request.header("TIMEOUT"), "Second-3600");
        EXPECT_FALSE(request.hasHeader("SID"));
        const Events::Target& t =
            *std::find_if(expected.cbegin(), expected.cend(), [&](const Events::Target& t) {
                return t.host == request.host && eventPath(t.service).toUtf8() == request.path;
            });
        EXPECT_EQ(
            QString::fromUtf8(request.header("CALLBACK")),
            QStringLiteral("<http://%1:%2%3>").arg(callbackIP).arg(*events->port()).arg(t.callbackPath()));
        EXPECT_TRUE(logged(since, QStringLiteral("Subscribed %1 on %2 → %3:%4")
                                      .arg(rawValue(t.service), t.host, callbackIP)
                                      .arg(*events->port())));
    }
    for (const auto& subscription : events->active())
        EXPECT_EQ(subscription.expires, Clock::monotonic() + 3600s);

    // A second sync with the same groups changes nothing.
    events->sync({group({a, b})});
    EXPECT_EQ(gena().requests().size(), 5);
}

TEST_F(EventsTest, TopologyTargetRules) {
    // Rooms in the order B, A: the topology target goes to B, the first room.
    events->sync({group({b, a})});
    EXPECT_EQ(topologyTarget(), target(b, EventService::zoneGroupTopology));

    // Once on B it stays there while B keeps its address, whatever the room order.
    events->sync({group({a, b})});
    EXPECT_EQ(topologyTarget(), target(b, EventService::zoneGroupTopology));
    ASSERT_TRUE(settled());

    // B leaves: its subscription is cancelled and A, now the first room, gets it.
    simulator->clearRequests();
    events->sync({group({a})});
    EXPECT_EQ(topologyTarget(), target(a, EventService::zoneGroupTopology));
    ASSERT_TRUE(settled());
    EXPECT_EQ(methods(gena().requests(b)), QStringList({"UNSUBSCRIBE", "UNSUBSCRIBE"}));
    EXPECT_TRUE(gena().subscriptions(b).isEmpty());

    // B comes back as the first room: the target stays on A, which is still there; once A
    // shows at another address, the target goes to the first room.
    events->sync({group({b, a})});
    EXPECT_EQ(topologyTarget(), target(a, EventService::zoneGroupTopology));
    events->sync({GroupAddresses{room(a), {{uuid(a), c}, room(b)}}});
    EXPECT_EQ(topologyTarget(), (Events::Target{uuid(a), c, EventService::zoneGroupTopology}));

    // No rooms: nothing wanted at all.
    events->sync({});
    EXPECT_TRUE(events->desired().isEmpty());
    EXPECT_FALSE(events->healthy());
}

TEST_F(EventsTest, HealthyOnlyOnceEveryTargetDeliveredAnEvent) {
    gena().setGrant({}, GenaGrant{.initialNotify = false});
    events->sync({group({a})});
    ASSERT_TRUE(settled());
    EXPECT_EQ(events->active().size(), 4);
    EXPECT_FALSE(events->healthy());

    // Events for three of the four services: still not healthy.
    gena().setTransportState(a, QStringLiteral("PLAYING"));
    gena().setVolume(a, 33); // room and group volume
    ASSERT_TRUE(test::waitUntil([&] { return gena().answeredNotifies() == 3; }));
    test::waitUntil([&] { return events->healthy(); }, 200ms);
    EXPECT_FALSE(events->healthy());
    gena().changeTopology([](sim::FakeHousehold&) {});
    EXPECT_TRUE(test::waitUntil([&] { return events->healthy(); }));
}

TEST_F(EventsTest, NotifyBeforeTheSubscribeReplyCounts) {
    gena().setGrant({}, GenaGrant{.notifyBeforeReply = true});
    int received = 0;
    events->onEvent = [&](const Events::Target&, const Fields&) { ++received; };
    events->sync({group({a})});
    ASSERT_TRUE(settled());
    // Every initial NOTIFY was answered before its SUBSCRIBE reply left the speaker.
    EXPECT_EQ(gena().answeredNotifies(), 4);
    EXPECT_EQ(received, 4);
    EXPECT_TRUE(test::waitUntil([&] { return events->healthy(); }));
}

TEST_F(EventsTest, WhatTheSpeakerGrants) {
    struct Case {
        const char* name;
        GenaGrant grant;
        qint64 seconds;
        bool emptySid;
    };
    const Case cases[] = {
        {"no TIMEOUT", GenaGrant{.timeout = std::nullopt}, 3600, false},
        {"Second-1800", GenaGrant{.timeout = "Second-1800"}, 1800, false},
        {"not a number", GenaGrant{.timeout = "Second-infinite"}, 3600, false},
        {"beyond any clock", GenaGrant{.timeout = "Second-1e300"}, 86400, false},
        {"negative", GenaGrant{.timeout = "Second--7200"}, 3600, false},
        {"garbage", GenaGrant{.timeout = "Second-12abc"}, 3600, false},
        {"no SID", GenaGrant{.sendSid = false}, 3600, true},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.name);
        events->sync({});
        ASSERT_TRUE(test::waitUntil([&] { return gena().subscriptions().isEmpty(); }));
        gena().setGrant({}, item.grant);
        events->sync({group({a})});
        ASSERT_TRUE(settled());
        const auto subscription = events->active().value(target(a, EventService::avTransport));
        EXPECT_EQ(subscription.expires, Clock::monotonic() + std::chrono::seconds(item.seconds));
        EXPECT_EQ(subscription.sid.isEmpty(), item.emptySid);
        // Nothing is due at the next maintenance pass.
        Clock::advance(30s);
        EXPECT_TRUE(events->inFlight().isEmpty());
        ASSERT_TRUE(test::waitUntil([&] { return gena().answeredNotifies() == gena().notifies().size(); }));
        test::waitUntil([&] { return events->healthy(); }, item.emptySid ? 200ms : 10s);
        EXPECT_EQ(events->healthy(), !item.emptySid) << "an empty SID never matches an event's SID";
    }
    EXPECT_EQ(Events::grantedSeconds(QByteArray("Second-nan")), 3600);
    EXPECT_EQ(Events::grantedSeconds(QByteArray("Second--5")), 3600);
    EXPECT_EQ(Events::grantedSeconds(QByteArray("Second-90.5")), 90.5);
    EXPECT_EQ(Events::grantedSeconds(QByteArray("Second-1e308")), 86400);
    EXPECT_EQ(Events::grantedSeconds(QByteArray("Second-86401")), 86400);
}

TEST_F(EventsTest, RefusedSubscribeIsLoggedAndTriedAgainLater) {
    gena().setGrant(a, GenaGrant{.status = 412});
    events->sync({group({a})});
    ASSERT_TRUE(
        test::waitUntil([&] { return gena().requests(a).size() == 4 && events->inFlight().isEmpty(); }));
    EXPECT_TRUE(events->active().isEmpty());
    EXPECT_TRUE(logged(
        since,
        QStringLiteral("Subscribe MediaRenderer/AVTransport on %1 failed: SUBSCRIBE HTTP 412").arg(a)));

    // The next maintenance pass tries again.
    gena().setGrant(a, GenaGrant{});
    Clock::advance(30s);
    ASSERT_TRUE(settled());
    EXPECT_EQ(events->active().size(), 4);
}

TEST_F(EventsTest, RefusedCancellationIsIgnored) {
    events->sync({group({a})});
    ASSERT_TRUE(settled());
    gena().forgetAll(a);
    events->sync({});
    ASSERT_TRUE(test::waitUntil([&] { return gena().requests(a).size() == 8; }));
    EXPECT_EQ(methods(gena().requests(a)).count(QStringLiteral("UNSUBSCRIBE")), 4);
    EXPECT_TRUE(events->active().isEmpty());
    EXPECT_FALSE(events->healthy());
}

TEST_F(EventsTest, HostNameRoomIsWantedButNeverSubscribed) {
    events->sync({GroupAddresses{
        room(a), {room(a), {QStringLiteral("RINCON_NAMED01400"), QStringLiteral("kitchen.local")}}}});
    EXPECT_TRUE(
        events->desired().contains({QStringLiteral("RINCON_NAMED01400"), QStringLiteral("kitchen.local"),
                                    EventService::renderingControl}));
    ASSERT_TRUE(
        test::waitUntil([&] { return events->active().size() == 4 && events->inFlight().isEmpty(); }));
    Clock::advance(30s);
    ASSERT_TRUE(test::waitUntil([&] { return events->inFlight().isEmpty(); }));
    EXPECT_EQ(events->active().size(), 4);
    EXPECT_FALSE(events->healthy());
}

TEST_F(EventsTest, AddressChangeMovesEverySubscriptionWithinOnePass) {
    QString local = QStringLiteral("127.0.0.1");
    events->setAddressLookup([&](const QString&) { return std::optional<QString>(local); });
    events->sync({group({a, b})});
    ASSERT_TRUE(settled());
    ASSERT_TRUE(test::waitUntil([&] { return events->healthy(); }));
    QSet<QString> oldSids;
    for (const auto& subscription : events->active())
        oldSids.insert(subscription.sid);
    simulator->clearRequests();

    // This machine now has another address on the route (the event server listens on all).
    local = test::loopback(1);
    Clock::advance(29s);
    EXPECT_TRUE(gena().requests().isEmpty()) << "not before the maintenance pass";
    Clock::advance(1s);
    ASSERT_TRUE(settled());
    ASSERT_TRUE(test::waitUntil([&] { return gena().requests().size() == 10; }));
    QSet<QString> cancelled;
    for (const sim::SimRequest& request : gena().requests()) {
        if (request.method == "UNSUBSCRIBE")
            cancelled.insert(QString::fromUtf8(request.header("SID")));
        else
            EXPECT_TRUE(request.header("CALLBACK").startsWith("<http://" + local.toUtf8() + ':'));
    }
    EXPECT_EQ(cancelled, oldSids);
    for (const auto& subscription : events->active())
        EXPECT_EQ(subscription.callbackIP, local);
    EXPECT_TRUE(test::waitUntil([&] { return events->healthy(); }));

    // No address at all: cancelled, and subscribed again once there is one.
    events->setAddressLookup([&](const QString&) { return std::optional<QString>(); });
    Clock::advance(30s);
    EXPECT_TRUE(events->active().isEmpty());
    EXPECT_FALSE(events->healthy());
}

TEST_F(EventsTest, WakeRenewsEverySubscription) {
    events->sync({group({a})});
    ASSERT_TRUE(settled());
    const auto before = events->active();
    simulator->clearRequests();
    SystemEvents::instance().reportWake();
    ASSERT_TRUE(settled());
    ASSERT_TRUE(test::waitUntil([&] { return gena().requests().size() == 8; }));
    EXPECT_EQ(methods(gena().requests()).count(QStringLiteral("UNSUBSCRIBE")), 4);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_NE(events->active().value(it.key()).sid, it->sid);
    EXPECT_TRUE(test::waitUntil([&] { return events->healthy(); }));
}

TEST_F(EventsTest, RenewsBeforeExpiryAndStartsOverWhenTheSpeakerForgot) {
    events->sync({group({a})});
    ASSERT_TRUE(settled());
    const auto first = events->active();
    simulator->clearRequests();

    // 2700 s on, fewer than 900 s are left at the next pass: renewed with the SID only. The
    // wall clock set back an hour meanwhile changes nothing: the expiry is monotonic.
    Clock::setWallClock(Clock::now().addSecs(-3600));
    Clock::advance(2700s);
    EXPECT_TRUE(gena().requests().isEmpty());
    Clock::advance(30s);
    ASSERT_TRUE(
        test::waitUntil([&] { return gena().requests().size() == 4 && events->inFlight().isEmpty(); }));
    for (const sim::SimRequest& request : gena().requests()) {
        EXPECT_EQ(request.method, "SUBSCRIBE");
        EXPECT_TRUE(request.hasHeader("SID"));
        EXPECT_FALSE(request.hasHeader("CALLBACK"));
        EXPECT_FALSE(request.hasHeader("NT"));
        EXPECT_EQ(request.header("TIMEOUT"), "Second-3600");
    }
    for (auto it = first.cbegin(); it != first.cend(); ++it) {
        EXPECT_EQ(events->active().value(it.key()).sid, it->sid);
        EXPECT_EQ(events->active().value(it.key()).expires, Clock::monotonic() + 3600s);
    }
    EXPECT_TRUE(events->healthy());

    // The speaker restarted: the renewal gets 412, and the target is subscribed anew at once.
    gena().forgetAll();
    simulator->clearRequests();
    Clock::advance(2730s);
    ASSERT_TRUE(settled());
    ASSERT_TRUE(test::waitUntil([&] { return gena().subscriptions(a).size() == 4; }));
    EXPECT_EQ(methods(gena().requests()).count(QStringLiteral("UNSUBSCRIBE")), 0);
    for (auto it = first.cbegin(); it != first.cend(); ++it)
        EXPECT_NE(events->active().value(it.key()).sid, it->sid);
    EXPECT_TRUE(test::waitUntil([&] { return events->healthy(); }));
}

TEST_F(EventsTest, TargetDroppedWhileSubscribingIsCancelledWithTheReplysSid) {
    for (EventService service : {EventService::avTransport, EventService::groupRenderingControl,
                                 EventService::renderingControl, EventService::zoneGroupTopology})
        simulator->setFault(a, eventPath(service), sim::Fault::delayed(300ms).once());
    // The log stamps whole milliseconds: lines of the test before may share this one.
    const QDateTime start = QDateTime::currentDateTimeUtc().addMSecs(1);
    events->sync({group({a})});
    ASSERT_EQ(events->inFlight().size(), 4);
    events->sync({});
    ASSERT_TRUE(test::waitUntil([&] { return events->inFlight().isEmpty(); }));
    EXPECT_TRUE(events->active().isEmpty());
    ASSERT_TRUE(test::waitUntil([&] { return gena().subscriptions(a).isEmpty(); }));
    EXPECT_EQ(methods(gena().requests(a)).count(QStringLiteral("UNSUBSCRIBE")), 4);
    EXPECT_FALSE(logged(start, QStringLiteral("Subscribed ")));
}

TEST_F(EventsTest, StopCancelsEverySubscription) {
    // Nothing active: nothing sent.
    events->stop();
    EXPECT_TRUE(gena().requests().isEmpty());

    auto other = std::make_unique<Events>();
    other->start();
    other->sync({group({b})});
    events->sync({group({a})});
    ASSERT_TRUE(settled());
    ASSERT_TRUE(test::waitUntil([&] { return other->active().size() == 4 && other->inFlight().isEmpty(); }));

    // Answering speakers: all cancelled.
    other->stop();
    EXPECT_TRUE(other->active().isEmpty());
    EXPECT_TRUE(gena().subscriptions(b).isEmpty()) << "the answers came back within the wait";

    // Speakers that never answer: stop() returns all the same, the requests reached them.
    for (EventService service : {EventService::avTransport, EventService::groupRenderingControl,
                                 EventService::renderingControl, EventService::zoneGroupTopology})
        simulator->setFault(a, eventPath(service), sim::Fault::silence());
    const auto sids = events->active();
    // stop() blocks on real time, so this is measured on it: it gives up after its 1.0 s, well
    // before the 3 s after which the unanswered requests would end by themselves.
    const auto before = std::chrono::steady_clock::now();
    events->stop();
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, 990ms);
    EXPECT_LT(waited, 2500ms);
    EXPECT_TRUE(events->active().isEmpty());
    ASSERT_TRUE(test::waitUntil(
        [&] { return methods(gena().requests(a)).count(QStringLiteral("UNSUBSCRIBE")) == 4; }));
    for (const sim::SimRequest& request : gena().requests(a)) {
        if (request.method == "UNSUBSCRIBE") {
            EXPECT_TRUE(std::any_of(sids.cbegin(), sids.cend(), [&](const Events::Subscription& s) {
                return s.sid.toUtf8() == request.header("SID");
            }));
        }
    }
    // Maintenance has ended: time passing sends nothing more.
    simulator->clearRequests();
    Clock::advance(60s);
    EXPECT_TRUE(gena().requests().isEmpty());
}
