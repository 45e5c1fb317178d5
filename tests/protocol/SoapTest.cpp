#include "protocol/Soap.h"
#include "protocol/Http.h"
#include "protocol/SonosError.h"
#include "protocol/TransportError.h"

#include "support/Await.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QEventLoop>
#include <QMutex>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using namespace std::chrono_literals;

namespace {

const QByteArray head = "<?xml version=\"1.0\" encoding=\"utf-8\"?><s:Envelope "
                        "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                        "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>";
const QByteArray tail = "</s:Body></s:Envelope>";

TEST(SoapEnvelope, ServiceTable) {
    struct Row {
        Service service;
        const char* path;
        const char* urn;
    };
    const Row rows[] = {
        {Service::avTransport, "/MediaRenderer/AVTransport/Control",
         "urn:schemas-upnp-org:service:AVTransport:1"},
        {Service::renderingControl, "/MediaRenderer/RenderingControl/Control",
         "urn:schemas-upnp-org:service:RenderingControl:1"},
        {Service::groupRenderingControl, "/MediaRenderer/GroupRenderingControl/Control",
         "urn:schemas-upnp-org:service:GroupRenderingControl:1"},
        {Service::zoneGroupTopology, "/ZoneGroupTopology/Control",
         "urn:schemas-upnp-org:service:ZoneGroupTopology:1"},
        {Service::deviceProperties, "/DeviceProperties/Control",
         "urn:schemas-upnp-org:service:DeviceProperties:1"},
        {Service::contentDirectory, "/MediaServer/ContentDirectory/Control",
         "urn:schemas-upnp-org:service:ContentDirectory:1"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(controlPath(row.service), QString::fromLatin1(row.path));
        EXPECT_EQ(serviceType(row.service), QString::fromLatin1(row.urn));
    }
}

TEST(SoapEnvelope, ExactBytes) {
    struct Case {
        const char* name;
        Service service;
        QString action;
        SOAP::Arguments args;
        QByteArray expected;
    };
    const Case cases[] = {
        {"no arguments gives an empty action element",
         Service::zoneGroupTopology,
         "GetZoneGroupState",
         {},
         head +
             "<u:GetZoneGroupState xmlns:u=\"urn:schemas-upnp-org:service:ZoneGroupTopology:1\">"
             "</u:GetZoneGroupState>" +
             tail},
        {"arguments in the order given, a repeated name kept twice",
         Service::avTransport,
         "Play",
         {{"InstanceID", "0"}, {"Speed", "1"}, {"InstanceID", "7"}},
         head +
             "<u:Play xmlns:u=\"urn:schemas-upnp-org:service:AVTransport:1\"><InstanceID>0</InstanceID>"
             "<Speed>1</Speed><InstanceID>7</InstanceID></u:Play>" +
             tail},
        {"less-than, ampersand and quotes escaped, apostrophe kept",
         Service::renderingControl,
         "X",
         {{"V", "a<b & \"c\" it's"}},
         head +
             "<u:X xmlns:u=\"urn:schemas-upnp-org:service:RenderingControl:1\">"
             "<V>a&lt;b &amp; &quot;c&quot; it's</V></u:X>" +
             tail},
        {"an entity already in the value is escaped once more",
         Service::deviceProperties,
         "Y",
         {{"V", "R&amp;B > 1"}},
         head +
             "<u:Y xmlns:u=\"urn:schemas-upnp-org:service:DeviceProperties:1\"><V>R&amp;amp;B &gt; "
             "1</V></u:Y>" +
             tail},
        {"XML values travel as text, names as given",
         Service::avTransport,
         "SetAVTransportURI",
         {{"CurrentURIMetaData", "<DIDL-Lite><dc:title>Ä</dc:title></DIDL-Lite>"}, {"E", ""}},
         head +
             "<u:SetAVTransportURI "
             "xmlns:u=\"urn:schemas-upnp-org:service:AVTransport:1\"><CurrentURIMetaData>"
             "&lt;DIDL-Lite&gt;&lt;dc:title&gt;\xC3\x84&lt;/dc:title&gt;&lt;/DIDL-Lite&gt;</"
             "CurrentURIMetaData>"
             "<E></E></u:SetAVTransportURI>" +
             tail},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SOAP::envelope(c.service, c.action, c.args), c.expected) << c.name;
    EXPECT_EQ(SOAP::soapAction(Service::avTransport, "Play"),
              "\"urn:schemas-upnp-org:service:AVTransport:1#Play\"");
}

class SoapCall : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sim = new sim::SpeakerSimulator(initial()); }
    static sim::FakeHousehold initial() {
        return sim::FakeHousehold::solo({test::loopback(2), test::loopback(3), test::loopback(4)});
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override {
        sim->clearFaults();
        sim->update([](sim::FakeHousehold& household) { household = initial(); });
        sim->clearRequests();
        sim->setOffline(host, false);
    }

    static Fields call(const QString& action,
                       SOAP::Arguments args = {{"InstanceID", "0"}, {"Channel", "Master"}},
                       Service service = Service::renderingControl) {
        return test::run(SOAP::call(host, service, action, args));
    }

    static inline sim::SpeakerSimulator* sim = nullptr;
    static inline const QString host = test::loopback(2);
};

TEST_F(SoapCall, SendsExactlyTheRequestOfTheAction) {
    const SOAP::Arguments args{{"InstanceID", "0"}, {"Channel", "Master"}, {"DesiredVolume", "37"}};
    EXPECT_TRUE(call("SetVolume", args).isEmpty());

    const auto log = sim->requests();
    ASSERT_EQ(log.size(), 1);
    const sim::SimRequest& sent = log.first();
    EXPECT_EQ(sent.host, host);
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.path, "/MediaRenderer/RenderingControl/Control");
    EXPECT_EQ(sent.header("Content-Type"), "text/xml; charset=\"utf-8\"");
    EXPECT_EQ(sent.header("SOAPACTION"), "\"urn:schemas-upnp-org:service:RenderingControl:1#SetVolume\"");
    EXPECT_EQ(sent.header("Host"), (host + ":1400").toUtf8());
    EXPECT_EQ(sent.body, SOAP::envelope(Service::renderingControl, "SetVolume", args));
    EXPECT_EQ(sent.header("Content-Length").toInt(), sent.body.size());
    EXPECT_EQ(sent.action, "SetVolume");
    EXPECT_EQ(sent.args, args);
    EXPECT_EQ(sim->speaker(host).room.volume, 37);
    EXPECT_EQ(call("GetVolume").value("CurrentVolume"), "37");
}

TEST_F(SoapCall, ReadsEscapedDocumentsAsText) {
    const Fields fields = call("GetZoneGroupState", {}, Service::zoneGroupTopology);
    const QString state = fields.value("ZoneGroupState");
    EXPECT_TRUE(state.startsWith("<ZoneGroupState><ZoneGroups><ZoneGroup Coordinator=\"RINCON_000000000001"));
    EXPECT_TRUE(state.contains("Location=\"http://" + host + ":1400/xml/device_description.xml\""));
    EXPECT_TRUE(state.contains("ZoneName=\"Room 2\""));
}

// How each kind of answer turns out: fields, or a SonosError with its message and code.
TEST_F(SoapCall, AnswersOtherThan200AreSonosErrors) {
    struct Case {
        const char* name;
        sim::Fault fault;
        std::optional<QString> message; // nothing: success
        std::optional<QString> code;
        std::optional<QString> volume; // the CurrentVolume field on success
    };
    const Case cases[] = {
        {"200 with an empty body is an empty success", sim::Fault::emptyOk(), {}, {}, {}},
        {"200 with a cut-off body gives what was read", sim::Fault::malformed(), {}, {}, QString("20")},
        {"204 is no success", sim::Fault::httpStatus(204), QString("GetVolume failed (UPnP ?)"), {}, {}},
        {"500 without a code", sim::Fault::httpStatus(500), QString("GetVolume failed (UPnP ?)"), {}, {}},
        {"500 with UPnP 402",
         sim::Fault::upnp("402"),
         QString("GetVolume failed (UPnP 402)"),
         QString("402"),
         {}},
        {"a fault code on another status",
         sim::Fault::upnp("701", 409),
         QString("GetVolume failed (UPnP 701)"),
         QString("701"),
         {}},
    };
    sim->update([](sim::FakeHousehold& household) { household.speakers[0].room.volume = 20; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim->setFault(host, "GetVolume", c.fault);
        if (!c.message) {
            const Fields fields = call("GetVolume");
            if (c.volume)
                EXPECT_EQ(fields.value("CurrentVolume"), *c.volume);
            else
                EXPECT_TRUE(fields.isEmpty());
            continue;
        }
        try {
            call("GetVolume");
            ADD_FAILURE() << "no error";
        } catch (const SonosError& error) {
            EXPECT_EQ(error.errorDescription, c.message);
            EXPECT_EQ(error.code, c.code);
            EXPECT_EQ(QString::fromUtf8(error.what()), *c.message);
        }
    }
}

TEST_F(SoapCall, RefusedConnectionIsATransportError) {
    sim->setOffline(host, true);
    try {
        call("GetVolume");
        FAIL() << "no error";
    } catch (const TransportError& error) {
        EXPECT_EQ(error.kind, QNetworkReply::ConnectionRefusedError);
    }
}

TEST_F(SoapCall, HostTextThatFormsNoUrlSendsNothing) {
    const QString hosts[] = {
        "",
        "fe80::1",
        "bad host",
        host + "/x",
        "user@" + host,
        // Would form a valid URL to the speaker's own control path, through a fragment.
        host + ":1400/MediaRenderer/RenderingControl/Control#",
    };
    for (const QString& text : hosts) {
        SCOPED_TRACE(text.toStdString());
        try {
            test::run(SOAP::call(text, Service::renderingControl, "GetVolume", {}));
            ADD_FAILURE() << "no error";
        } catch (const TransportError& error) {
            EXPECT_EQ(error.kind, QNetworkReply::ProtocolInvalidOperationError);
        }
    }
    EXPECT_TRUE(sim->requests().isEmpty());
}

struct Outcome {
    int ok = 0, timedOut = 0, refused = 0, other = 0;
};

QCoro::Task<void> countOne(QString target, QString action, Outcome& outcome) {
    const SOAP::Arguments args{{"InstanceID", "0"}, {"Channel", "Master"}};
    try {
        const Fields fields = co_await SOAP::call(target, Service::renderingControl, action, args);
        outcome.ok += fields.contains("CurrentVolume") ? 1 : 0;
    } catch (const TransportError& error) {
        if (error.kind == QNetworkReply::TimeoutError)
            ++outcome.timedOut;
        else if (error.kind == QNetworkReply::ConnectionRefusedError)
            ++outcome.refused;
        else
            ++outcome.other;
    } catch (...) {
        ++outcome.other;
    }
}

QCoro::Task<void> awaitAll(std::vector<QCoro::Task<void>>& started) {
    for (auto& task : started)
        co_await std::move(task);
}

QCoro::Task<int> silentGets(QString host) {
    int transport = 0;
    std::vector<QCoro::Task<HttpResponse>> started;
    for (int i = 0; i < 16; ++i)
        started.push_back(
            Http::send(QNetworkRequest(QUrl("http://" + host + ":1400/silent")), "GET", {}, 50ms));
    for (auto& task : started) {
        try {
            co_await std::move(task);
        } catch (const TransportError& error) {
            transport += error.kind == QNetworkReply::TimeoutError ? 1 : 0;
        }
    }
    co_return transport;
}

// A silent speaker runs into the 3 s limit (requests queued behind its six busy connections
// too) while calls to other speakers, on the same manager, complete; every silent request is
// aborted at about the same moment.
TEST_F(SoapCall, ManyCallsAtOnceSomeTimingOut) {
    sim->setFault(host, "GetMute", sim::Fault::silence());
    sim->setOffline(test::loopback(3), true);
    Outcome outcome;
    std::vector<QCoro::Task<void>> tasks;
    for (int i = 0; i < 24; ++i) {
        tasks.push_back(countOne(host, "GetMute", outcome));
        tasks.push_back(countOne(test::loopback(4), "GetVolume", outcome));
        if (i % 3 == 0)
            tasks.push_back(countOne(test::loopback(3), "GetVolume", outcome));
    }
    test::run(awaitAll(tasks));
    EXPECT_EQ(outcome.ok, 24);
    EXPECT_EQ(outcome.timedOut, 24);
    EXPECT_EQ(outcome.refused, 8);
    EXPECT_EQ(outcome.other, 0);
    sim->setOffline(test::loopback(3), false);
}

// The layer under every request: custom verbs, header lookup and its own time-out.
TEST_F(SoapCall, HttpLayerCustomVerbsAndTimeouts) {
    sim->setMethodHandler("SUBSCRIBE", [](const sim::SimRequest& request, sim::FakeHousehold&) {
        return std::optional<sim::HttpReply>(sim::HttpReply{
            200, {{"SID", "uuid:sub-1"}, {"TIMEOUT", "Second-" + request.header("TIMEOUT")}}, {}});
    });
    QNetworkRequest request(QUrl("http://" + host + ":1400/MediaRenderer/AVTransport/Event"));
    request.setRawHeader("TIMEOUT", "3600");
    const HttpResponse response = test::run(Http::send(request, "SUBSCRIBE", {}, 3s));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.header("sid"), "uuid:sub-1");
    EXPECT_EQ(response.header("Timeout"), "Second-3600");
    EXPECT_FALSE(response.hasHeader("X-None"));
    EXPECT_EQ(sim->requests().last().method, "SUBSCRIBE");

    // A silent answer to a short limit, aborted by the call itself, many at once.
    sim->setFault(host, "/silent", sim::Fault::silence());
    EXPECT_EQ(test::run(silentGets(host)), 16);
}

// The simulator's standard actions, driven through the real call: each setter shows in the
// matching read, in the state, and in the change hook.
TEST_F(SoapCall, SimulatorActionsRoundTrip) {
    const QString other = test::loopback(3);
    sim->update([&](sim::FakeHousehold& household) {
        // Rooms 2 and 3 form one group led by room 2; room 2 is a TV speaker.
        household.speakers[0].tv = true;
        household.speakers[0].room.volume = 20;
        household.speakers[1].room.volume = 40;
        household.groups[0].members.append(household.speakers[1].uuid);
        household.groups.removeAt(1);
        household.favorites = {
            {"Radio & More", "x-sonosapi-stream:s1?sid=254", "<DIDL-Lite/>", "/getaa?x", {}}};
        household.speakers[0].transport.queue = {
            {"x-file:1", sim::trackMetaData("One", "A", "B", "x-file:1")},
            {"x-file:2", sim::trackMetaData("Two", "A", "B", "x-file:2")}};
    });
    QList<QPair<QString, Service>> changes;
    QMutex changesMutex;
    sim->setChangeHook([&](const QString& uuid, Service service) {
        QMutexLocker lock(&changesMutex);
        changes.append({uuid, service});
    });
    const auto run = [&](Service service, const QString& action, SOAP::Arguments args) {
        args.prepend({"InstanceID", "0"});
        return test::run(SOAP::call(host, service, action, args));
    };
    const Service av = Service::avTransport, rc = Service::renderingControl,
                  grc = Service::groupRenderingControl;

    EXPECT_EQ(run(grc, "GetGroupVolume", {}).value("CurrentVolume"), "30");
    run(grc, "SnapshotGroupVolume", {});
    run(grc, "SetGroupVolume", {{"DesiredVolume", "60"}});
    EXPECT_EQ(sim->speaker(host).room.volume, 40);
    EXPECT_EQ(sim->speaker(other).room.volume, 80);
    run(grc, "SetGroupMute", {{"DesiredMute", "1"}});
    EXPECT_EQ(run(grc, "GetGroupMute", {}).value("CurrentMute"), "1");
    EXPECT_TRUE(sim->speaker(other).room.mute);

    const std::tuple<const char*, const char*, const char*, const char*, const char*> rows[] = {
        {"SetMute", "DesiredMute", "0", "GetMute", "CurrentMute"},
        {"SetBass", "DesiredBass", "-4", "GetBass", "CurrentBass"},
        {"SetTreble", "DesiredTreble", "7", "GetTreble", "CurrentTreble"},
        {"SetLoudness", "DesiredLoudness", "0", "GetLoudness", "CurrentLoudness"},
    };
    for (const auto& [set, name, value, get, field] : rows) {
        run(rc, set, {{"Channel", "Master"}, {name, value}});
        EXPECT_EQ(run(rc, get, {{"Channel", "Master"}}).value(field), value) << set;
    }
    run(rc, "SetEQ", {{"EQType", "NightMode"}, {"DesiredValue", "1"}});
    EXPECT_EQ(run(rc, "GetEQ", {{"EQType", "NightMode"}}).value("CurrentValue"), "1");
    EXPECT_EQ(run(rc, "GetEQ", {{"EQType", "DialogLevel"}}).value("CurrentValue"), "0");
    EXPECT_THROW(test::run(SOAP::call(other, rc, "GetEQ", {{"InstanceID", "0"}, {"EQType", "NightMode"}})),
                 SonosError);

    run(av, "Play", {{"Speed", "1"}});
    Fields position = run(av, "GetPositionInfo", {});
    EXPECT_EQ(position.value("TrackURI"), "x-file:1");
    EXPECT_TRUE(position.value("TrackMetaData").contains("<dc:title>One</dc:title>"));
    run(av, "Seek", {{"Unit", "TRACK_NR"}, {"Target", "2"}});
    run(av, "Seek", {{"Unit", "REL_TIME"}, {"Target", "0:01:05"}});
    position = run(av, "GetPositionInfo", {});
    EXPECT_EQ(position.value("TrackURI"), "x-file:2");
    EXPECT_EQ(position.value("RelTime"), "0:01:05");
    run(av, "Pause", {});
    EXPECT_EQ(run(av, "GetTransportInfo", {}).value("CurrentTransportState"), "PAUSED_PLAYBACK");
    run(av, "ConfigureSleepTimer", {{"NewSleepTimerDuration", "0:30:00"}});
    EXPECT_EQ(run(av, "GetRemainingSleepTimerDuration", {}).value("RemainingSleepTimerDuration"), "0:30:00");
    try {
        test::run(SOAP::call(other, av, "Play", {{"InstanceID", "0"}, {"Speed", "1"}}));
        ADD_FAILURE() << "playing nothing succeeded";
    } catch (const SonosError& error) {
        EXPECT_EQ(error.code, "701");
    }

    const Fields attributes = test::run(SOAP::call(host, Service::deviceProperties, "GetZoneAttributes", {}));
    EXPECT_EQ(attributes.value("CurrentZoneName"), "Room 1");
    EXPECT_TRUE(attributes.contains("CurrentIcon"));
    EXPECT_EQ(test::run(SOAP::call(host, Service::deviceProperties, "GetZoneInfo", {})).value("HTAudioIn"),
              "0");
    const Fields browse = test::run(SOAP::call(host, Service::contentDirectory, "Browse",
                                               {{"ObjectID", "FV:2"},
                                                {"BrowseFlag", "BrowseDirectChildren"},
                                                {"Filter", "*"},
                                                {"StartingIndex", "0"},
                                                {"RequestedCount", "24"},
                                                {"SortCriteria", ""}}));
    EXPECT_EQ(browse.value("TotalMatches"), "1");
    EXPECT_TRUE(browse.value("Result").contains("<dc:title>Radio &amp; More</dc:title>"));
    EXPECT_TRUE(browse.value("Result").contains("<r:resMD>&lt;DIDL-Lite/&gt;</r:resMD>"));

    // A SOAPACTION that disagrees with the body is refused; the client never sends one.
    QNetworkRequest mismatched(QUrl("http://" + host + ":1400/MediaRenderer/RenderingControl/Control"));
    mismatched.setRawHeader("SOAPACTION", SOAP::soapAction(rc, "GetMute"));
    EXPECT_EQ(test::run(Http::send(mismatched, "POST", SOAP::envelope(rc, "GetVolume", {}), 3s)).status, 500);

    sim->setChangeHook({});
    QMutexLocker lock(&changesMutex);
    const QString coordinator = sim->speaker(host).uuid;
    EXPECT_TRUE(changes.contains(qMakePair(coordinator, Service::groupRenderingControl)));
    EXPECT_TRUE(changes.contains(qMakePair(sim->speaker(other).uuid, Service::renderingControl)));
    EXPECT_TRUE(changes.contains(qMakePair(coordinator, Service::avTransport)));
}

// The simulator's HTTP/1.1 handling: pipelined requests on one kept-alive connection, and
// "Connection: close" honoured.
TEST_F(SoapCall, SimulatorKeepsAliveAndCloses) {
    const QByteArray body = SOAP::envelope(Service::renderingControl, "GetVolume", {{"InstanceID", "0"}});
    const auto request = [&](const QByteArray& extra) {
        return "POST /MediaRenderer/RenderingControl/Control HTTP/1.1\r\nHOST: x\r\nSOAPACTION: " +
               SOAP::soapAction(Service::renderingControl, "GetVolume") +
               "\r\nCONTENT-LENGTH: " + QByteArray::number(body.size()) + "\r\n" + extra + "\r\n" + body;
    };
    QTcpSocket socket;
    socket.connectToHost(host, 1400);
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write(request({}) + request("Connection: close\r\n"));
    QByteArray received;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000))
        received += socket.readAll();
    received += socket.readAll();
    EXPECT_EQ(received.count("HTTP/1.1 200 OK"), 2);
    EXPECT_EQ(received.count("<CurrentVolume>"), 2);
    EXPECT_TRUE(received.contains("Connection: keep-alive"));
    EXPECT_TRUE(received.contains("Connection: close"));
    EXPECT_EQ(sim->requests().size(), 2);
}

} // namespace
