// Event intake: which NOTIFY requests are accepted, and the fields they give, both handed in
// directly and sent by the loopback speakers to the real event server.
#include "core/Clock.h"
#include "protocol/Events.h"
#include "protocol/Soap.h"
#include "support/Await.h"
#include "support/SimGena.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Received {
    Events::Target target;
    Fields fields;
};

const QString uuid = QStringLiteral("RINCON_B8E937000001401400");
const QString host = QStringLiteral("192.168.1.20");

QByteArray lastChangeBody(const QString& inner, const QString& topLevel = {}) {
    return (QStringLiteral("<e:propertyset xmlns:e=\"urn:schemas-upnp-org:event-1-0\">") + topLevel +
            QStringLiteral("<e:property><LastChange>") + sim::xmlEscape(inner) +
            QStringLiteral("</LastChange></e:property></e:propertyset>"))
        .toUtf8();
}

} // namespace

// Handed in directly: no server, so the wanted targets are never subscribed.
TEST(EventsIntake, AcceptsOnlyWantedTargetsFromTheirOwnHost) {
    Events events;
    QList<Received> received;
    events.onEvent = [&](const Events::Target& target, const Fields& fields) {
        received.append({target, fields});
    };
    events.sync({GroupAddresses{{uuid, host}, {{uuid, host}}}});
    const QByteArray body = "<e:propertyset xmlns:e=\"urn:schemas-upnp-org:event-1-0\"><e:property>"
                            "<GroupVolume>31</GroupVolume></e:property></e:propertyset>";

    struct Case {
        const char* path;
        QString remote;
        bool accepted;
    };
    const Case cases[] = {
        {"/RINCON_B8E937000001401400/MediaRenderer/GroupRenderingControl", host, true},
        {"/RINCON_B8E937000001401400/ZoneGroupTopology", host, true},
        {"/RINCON_B8E937000001401400", host, false},                            // uuid alone
        {"/RINCON_B8E937000001401400/", host, false},                           // empty service
        {"/RINCON_B8E937000001401400/MediaRenderer/Queue", host, false},        // not evented
        {"/RINCON_B8E937000001401400/DeviceProperties", host, false},           // never subscribed
        {"/RINCON_B8E937000001401400/mediarenderer/AVTransport", host, false},  // case counts
        {"/RINCON_OTHER00000001400/MediaRenderer/AVTransport", host, false},    // uuid not wanted
        {"//RINCON_B8E937000001401400/MediaRenderer/AVTransport", host, false}, // empty uuid piece
        {"/RINCON_B8E937000001401400/MediaRenderer/AVTransport", QStringLiteral("192.168.1.21"), false},
        {"/RINCON_B8E937000001401400/MediaRenderer/AVTransport", QStringLiteral("::ffff:192.168.1.20"),
         false},
        {"", host, false},
    };
    for (const Case& item : cases) {
        SCOPED_TRACE(item.path);
        received.clear();
        events.received(QString::fromLatin1(item.path), item.remote, QStringLiteral("uuid:sid-1"), body);
        ASSERT_EQ(received.size(), item.accepted ? 1 : 0);
        if (item.accepted) {
            EXPECT_EQ(received[0].target.uuid, uuid);
            EXPECT_EQ(received[0].target.host, host);
            EXPECT_EQ(received[0].fields.value(QStringLiteral("GroupVolume")), QStringLiteral("31"));
        }
    }
    // A NOTIFY after the target left the wanted set is not accepted.
    events.sync({});
    received.clear();
    events.received(QStringLiteral("/RINCON_B8E937000001401400/MediaRenderer/AVTransport"), host, {}, body);
    EXPECT_TRUE(received.isEmpty());
}

TEST(EventsIntake, FlattensLastChangeWithTheTopLevelWinning) {
    const QString rcs =
        QStringLiteral("<Event xmlns=\"urn:schemas-upnp-org:metadata-1-0/RCS/\"><InstanceID val=\"0\">"
                       "<Volume channel=\"LF\" val=\"100\"/><Volume channel=\"Master\" val=\"12\"/>"
                       "<Mute channel=\"Master\" val=\"1\"/></InstanceID></Event>");
    Fields fields = Events::flatten(lastChangeBody(rcs));
    EXPECT_EQ(fields.value(QStringLiteral("Volume")), QStringLiteral("12"));
    EXPECT_EQ(fields.value(QStringLiteral("Mute")), QStringLiteral("1"));
    EXPECT_TRUE(fields.contains(QStringLiteral("LastChange")));

    fields =
        Events::flatten(lastChangeBody(rcs, QStringLiteral("<e:property><Volume>40</Volume></e:property>")));
    EXPECT_EQ(fields.value(QStringLiteral("Volume")), QStringLiteral("40"));
    EXPECT_EQ(fields.value(QStringLiteral("Mute")), QStringLiteral("1"));

    // A LastChange that is no document adds nothing; the body's own fields stay.
    fields = Events::flatten(lastChangeBody(QStringLiteral("<<not xml")));
    EXPECT_EQ(fields.value(QStringLiteral("LastChange")), QStringLiteral("<<not xml"));
    EXPECT_FALSE(fields.contains(QStringLiteral("Volume")));
}

// Through the network: the speakers' own NOTIFY requests and raw ones.
class EventsIntakeNet : public ::testing::Test {
protected:
    const QString a = test::loopback(2);
    const QString b = test::loopback(3);

    void SetUp() override {
        Clock::useManual();
        auto household = sim::FakeHousehold::solo({a, b});
        household.groups = {{household.speakers[0].uuid + QStringLiteral(":1"),
                             household.speakers[0].uuid,
                             {household.speakers[0].uuid, household.speakers[1].uuid}}};
        household.speakers[0].transport.trackUri = QStringLiteral("x-file-cifs://nas/music/a.mp3");
        simulator = std::make_unique<sim::SpeakerSimulator>(household);
        events = std::make_unique<Events>();
        events->onEvent = [this](const Events::Target& target, const Fields& fields) {
            received.append({target, fields});
        };
        events->start();
        const QString ua = simulator->speaker(a).uuid;
        const QString ub = simulator->speaker(b).uuid;
        events->sync({GroupAddresses{{ua, a}, {{ua, a}, {ub, b}}}});
        ASSERT_TRUE(test::waitUntil([&] { return events->healthy(); }));
    }
    void TearDown() override {
        events.reset();
        simulator.reset();
        Clock::useReal();
    }

    // The fields of the newest event for (host, service) after `since` events.
    std::optional<Fields> newest(const QString& host, EventService service, qsizetype since) const {
        for (qsizetype i = received.size() - 1; i >= since; --i)
            if (received[i].target.host == host && received[i].target.service == service)
                return received[i].fields;
        return std::nullopt;
    }

    std::unique_ptr<sim::SpeakerSimulator> simulator;
    std::unique_ptr<Events> events;
    QList<Received> received;
};

TEST_F(EventsIntakeNet, SettersAndExternalChangesArriveAsEvents) {
    qsizetype mark = received.size();
    test::run(SOAP::call(a, Service::avTransport, QStringLiteral("Play"),
                         {{QStringLiteral("InstanceID"), QStringLiteral("0")},
                          {QStringLiteral("Speed"), QStringLiteral("1")}}));
    ASSERT_TRUE(test::waitUntil([&] { return newest(a, EventService::avTransport, mark).has_value(); }));
    EXPECT_EQ(newest(a, EventService::avTransport, mark)->value(QStringLiteral("TransportState")), "PLAYING");
    EXPECT_EQ(newest(a, EventService::avTransport, mark)->value(QStringLiteral("CurrentTrackURI")),
              "x-file-cifs://nas/music/a.mp3");

    // A member's volume: its own event, and the coordinator's group volume (the mean).
    mark = received.size();
    test::run(SOAP::call(b, Service::renderingControl, QStringLiteral("SetVolume"),
                         {{QStringLiteral("InstanceID"), QStringLiteral("0")},
                          {QStringLiteral("Channel"), QStringLiteral("Master")},
                          {QStringLiteral("DesiredVolume"), QStringLiteral("40")}}));
    ASSERT_TRUE(test::waitUntil([&] {
        return newest(b, EventService::renderingControl, mark) &&
               newest(a, EventService::groupRenderingControl, mark);
    }));
    EXPECT_EQ(newest(b, EventService::renderingControl, mark)->value(QStringLiteral("Volume")), "40");
    EXPECT_EQ(newest(a, EventService::groupRenderingControl, mark)->value(QStringLiteral("GroupVolume")),
              "30");

    mark = received.size();
    test::run(SOAP::call(a, Service::groupRenderingControl, QStringLiteral("SetGroupMute"),
                         {{QStringLiteral("InstanceID"), QStringLiteral("0")},
                          {QStringLiteral("DesiredMute"), QStringLiteral("1")}}));
    ASSERT_TRUE(
        test::waitUntil([&] { return newest(a, EventService::groupRenderingControl, mark).has_value(); }));
    EXPECT_EQ(newest(a, EventService::groupRenderingControl, mark)->value(QStringLiteral("GroupMute")), "1");

    // Someone else changes the topology: the one topology subscriber hears of it.
    mark = received.size();
    simulator->gena().changeTopology(
        [](sim::FakeHousehold& h) { h.speakers[1].zoneName = QStringLiteral("Küche"); });
    ASSERT_TRUE(
        test::waitUntil([&] { return newest(a, EventService::zoneGroupTopology, mark).has_value(); }));
    EXPECT_TRUE(newest(a, EventService::zoneGroupTopology, mark)
                    ->value(QStringLiteral("ZoneGroupState"))
                    .contains("Küche"));
}

TEST_F(EventsIntakeNet, RawNotifyIsCheckedForPathAndSender) {
    const QString ua = simulator->speaker(a).uuid;
    const QByteArray path = ("/" + ua + "/MediaRenderer/RenderingControl").toUtf8();
    const QByteArray body = "<e:propertyset xmlns:e=\"urn:schemas-upnp-org:event-1-0\"><e:property>"
                            "<Volume>77</Volume></e:property></e:propertyset>";
    const auto sendAndSettle = [&](const QString& from, const QByteArray& notifyPath) {
        const qsizetype before = simulator->gena().notifies().size();
        simulator->gena().sendRaw(from, QStringLiteral("127.0.0.1"), *events->port(), notifyPath, "uuid:raw",
                                  body);
        return test::waitUntil([&] { return simulator->gena().answeredNotifies() == before + 1; });
    };
    // From another address than the target's, or for a path of no wanted target: answered, not taken.
    qsizetype mark = received.size();
    ASSERT_TRUE(sendAndSettle(b, path));
    ASSERT_TRUE(sendAndSettle(a, ("/" + ua + "/MediaRenderer/Queue").toUtf8()));
    // From the target's own address: taken. It follows the others on the server's one queue.
    ASSERT_TRUE(sendAndSettle(a, path));
    ASSERT_TRUE(test::waitUntil([&] { return received.size() > mark; }));
    ASSERT_EQ(received.size(), mark + 1);
    EXPECT_EQ(received.last().target.host, a);
    EXPECT_EQ(received.last().fields.value(QStringLiteral("Volume")), "77");
    EXPECT_EQ(simulator->gena().notifies().last().status, 200);
}
