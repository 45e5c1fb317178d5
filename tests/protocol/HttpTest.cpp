// The HTTP layer against speakers whose connections misbehave: answers cut short or stalled
// after their head, connections closed without an answer, answers trickling in. No request is
// ever sent twice, no partial answer passes for a whole one, and no call outlives its limits.
#include "protocol/Http.h"
#include "protocol/Soap.h"
#include "protocol/SonosError.h"
#include "protocol/TransportError.h"

#include "support/Await.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QNetworkRequest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace std::chrono_literals;
using Kind = sim::Fault::Kind;

namespace {

class HttpFaults : public ::testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<sim::SpeakerSimulator>(sim::FakeHousehold::solo(hosts));
        sim->setMethodHandler("SUBSCRIBE", [](const sim::SimRequest&, sim::FakeHousehold&) {
            return std::optional<sim::HttpReply>(
                sim::HttpReply{200, {{"SID", "uuid:sub-1"}, {"TIMEOUT", "Second-3600"}}, {}});
        });
    }

    static QCoro::Task<Fields> getVolume(QString host) {
        return SOAP::call(host, Service::renderingControl, QStringLiteral("GetVolume"),
                          {{QStringLiteral("InstanceID"), QStringLiteral("0")},
                           {QStringLiteral("Channel"), QStringLiteral("Master")}});
    }

    const QStringList hosts{test::loopback(2), test::loopback(3), test::loopback(4), test::loopback(5)};
    std::unique_ptr<sim::SpeakerSimulator> sim;
};

// What a call ended with: its answer's volume, or the kind of failure.
struct Result {
    std::optional<QString> volume;
    std::optional<QNetworkReply::NetworkError> transport;
    bool sonos = false;
    qint64 elapsedMs = 0;
};

Result outcome(QCoro::Task<Fields> task) {
    Result result;
    QElapsedTimer clock;
    clock.start();
    try {
        result.volume = test::run(std::move(task)).value(QStringLiteral("CurrentVolume"));
    } catch (const TransportError& error) {
        result.transport = error.kind;
    } catch (const SonosError&) {
        result.sonos = true;
    }
    result.elapsedMs = clock.elapsed();
    return result;
}

TEST_F(HttpFaults, AnAnswerCutOrStalledAfterItsHeadIsNoAnswer) {
    struct Case {
        const char* name;
        Kind kind;
        QNetworkReply::NetworkError expected;
    };
    const Case cases[] = {
        {"1000 bytes promised, 190 sent, closed", Kind::cutAfterHeaders,
         QNetworkReply::RemoteHostClosedError},
        {"closed without an answer", Kind::closeUnanswered, QNetworkReply::RemoteHostClosedError},
        {"head, then nothing", Kind::stallAfterHeaders, QNetworkReply::TimeoutError},
    };
    const QString host = hosts[0];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim->setFault(host, QStringLiteral("GetVolume"), sim::Fault::wire(c.kind).once());
        const Result result = outcome(getVolume(host));
        EXPECT_FALSE(result.volume) << "taken for an answer: " << result.volume->toStdString();
        EXPECT_FALSE(result.sonos);
        EXPECT_EQ(result.transport, c.expected);
        if (c.kind == Kind::stallAfterHeaders) {
            // The idle limit is never cut short, and it is the idle limit that ends the call.
            EXPECT_GE(result.elapsedMs, 3000);
            EXPECT_LT(result.elapsedMs, 6000);
        }
        // The next call goes through as usual.
        EXPECT_EQ(outcome(getVolume(host)).volume, QStringLiteral("20"));
    }
}

// A speaker that closes the connection after reading the request may well have carried it
// out: the request must not arrive a second time, whether the connection was new or one kept
// alive from the call before.
TEST_F(HttpFaults, ARequestClosedWithoutAnswerIsNeverSentAgain) {
    struct Case {
        const char* name;
        bool warm; // a call before it leaves a connection to reuse
        bool subscribe;
    };
    const Case cases[] = {
        {"Play on a reused connection", true, false},
        {"Play on a new connection", false, false},
        {"SUBSCRIBE on a reused connection", true, true},
        {"SUBSCRIBE on a new connection", false, true},
    };
    const QString path = QStringLiteral("/MediaRenderer/AVTransport/Event");
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const QString host = hosts[qsizetype(i)];
        if (c.warm) {
            ASSERT_EQ(outcome(getVolume(host)).volume, QStringLiteral("20"));
        }
        const QString key = c.subscribe ? path : QStringLiteral("Play");
        sim->setFault(host, key, sim::Fault::wire(Kind::closeUnanswered).once());
        Result result;
        if (c.subscribe) {
            QNetworkRequest request(QUrl(QLatin1String("http://") + host + QLatin1String(":1400") + path));
            request.setRawHeader("SID", "uuid:sub-1");
            request.setRawHeader("TIMEOUT", "Second-3600");
            try {
                test::run(Http::send(request, "SUBSCRIBE", {}, 3s));
            } catch (const TransportError& error) {
                result.transport = error.kind;
            }
        } else {
            result = outcome(SOAP::call(host, Service::avTransport, QStringLiteral("Play"),
                                        {{QStringLiteral("InstanceID"), QStringLiteral("0")},
                                         {QStringLiteral("Speed"), QStringLiteral("1")}}));
        }
        EXPECT_EQ(result.transport, QNetworkReply::RemoteHostClosedError);
        // A call after it: any second sending of the request would have arrived before it.
        EXPECT_EQ(outcome(getVolume(host)).volume, QStringLiteral("20"));
        EXPECT_EQ(sim->requests(host, key).size(), 1);
        EXPECT_EQ(sim->requests(host, QStringLiteral("GetVolume")).size(), c.warm ? 2 : 1);
    }
}

// Calls one after another share one connection while the speaker keeps it open.
TEST_F(HttpFaults, ConnectionsAreKeptAliveBetweenCalls) {
    const QString host = hosts[0];
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(outcome(getVolume(host)).volume, QStringLiteral("20"));
    const QList<sim::SimRequest> requests = sim->requests(host, QStringLiteral("GetVolume"));
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[1].peerPort, requests[0].peerPort);
    EXPECT_EQ(requests[2].peerPort, requests[0].peerPort);
}

// Calls GetVolume `count` times, one after the other, counting the answers.
QCoro::Task<Fields> volumeOf(const QString& host) {
    return SOAP::call(host, Service::renderingControl, QStringLiteral("GetVolume"),
                      {{QStringLiteral("InstanceID"), QStringLiteral("0")},
                       {QStringLiteral("Channel"), QStringLiteral("Master")}});
}

QCoro::Task<void> callInTurn(QString host, int count, int& answered) {
    for (int i = 0; i < count; ++i) {
        try {
            const Fields fields = co_await volumeOf(host);
            answered += fields.value(QStringLiteral("CurrentVolume")) == QLatin1String("20") ? 1 : 0;
        } catch (const std::exception&) {
        }
    }
}

QCoro::Task<void> awaitAll(std::vector<QCoro::Task<void>> tasks) {
    for (auto& task : tasks)
        co_await std::move(task);
}

// A speaker that closes each connection after its answer, as many do: calls eight at a time
// and one after another each get their answer on a connection of their own (whose socket
// numbers come back again and again), every request sent once.
TEST_F(HttpFaults, CallsToASpeakerThatClosesEveryConnection) {
    const QString host = hosts[1];
    sim->setClosesConnections(host, true);
    int answered = 0;
    std::vector<QCoro::Task<void>> chains;
    for (int i = 0; i < 8; ++i)
        chains.push_back(callInTurn(host, 5, answered));
    test::run(awaitAll(std::move(chains)));
    test::run(callInTurn(host, 10, answered));
    EXPECT_EQ(answered, 50);
    EXPECT_EQ(sim->requests(host, QStringLiteral("GetVolume")).size(), 50);
}

// A kept connection that the speaker drops while no call uses it does not keep the event loop
// busy, and the next call goes out on a new connection.
TEST_F(HttpFaults, AConnectionDroppedWhileIdleIsLetGo) {
    const QString host = hosts[2];
    ASSERT_EQ(outcome(getVolume(host)).volume, QStringLiteral("20"));
    sim->setOffline(host, true); // drops its connections, and their ends here see it at once
    sim->setOffline(host, false);
    // Once the drop has been seen to, a turn of the event loop finds nothing more to do; a
    // socket left ready in the loop's watch would make every turn busy.
    int busyTurns = 0;
    while (QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents) && busyTurns < 1000)
        ++busyTurns;
    EXPECT_LT(busyTurns, 1000);
    ASSERT_EQ(outcome(getVolume(host)).volume, QStringLiteral("20"));
    const QList<sim::SimRequest> requests = sim->requests(host, QStringLiteral("GetVolume"));
    ASSERT_EQ(requests.size(), 2);
    EXPECT_NE(requests[1].peerPort, requests[0].peerPort);
}

// An answer far beyond any speaker's (32 MB) is refused rather than kept in memory.
TEST_F(HttpFaults, AnOversizedAnswerIsRefused) {
    sim->setMethodHandler("SUBSCRIBE", [](const sim::SimRequest&, sim::FakeHousehold&) {
        return std::optional<sim::HttpReply>(sim::HttpReply{200, {}, QByteArray(33 * 1024 * 1024, 'x')});
    });
    const QNetworkRequest request(
        QUrl(QLatin1String("http://") + hosts[0] + QLatin1String(":1400/MediaRenderer/AVTransport/Event")));
    try {
        // A generous silence limit: building and sending 33 MB on a busy machine must not end
        // the call as a time-out before the size rule refuses it.
        test::run(Http::send(request, "SUBSCRIBE", {}, 10s));
        ADD_FAILURE() << "taken for an answer";
    } catch (const TransportError& error) {
        EXPECT_EQ(error.kind, QNetworkReply::UnknownContentError);
    }
    EXPECT_EQ(outcome(getVolume(hosts[0])).volume, QStringLiteral("20"));
}

// An answer trickling in a byte every 2 s never lets the 3 s idle limit pass, yet the call
// ends when 10 s have passed in all.
TEST_F(HttpFaults, NoCallOutlivesItsWholeLimit) {
    const QString host = hosts[0];
    sim->setFault(host, QStringLiteral("GetVolume"), sim::Fault::wire(Kind::trickle, 2s).once());
    const Result result = outcome(getVolume(host));
    EXPECT_FALSE(result.volume);
    EXPECT_EQ(result.transport, QNetworkReply::TimeoutError);
    EXPECT_GE(result.elapsedMs, 10000);
    EXPECT_LT(result.elapsedMs, 13000);
    EXPECT_EQ(outcome(getVolume(host)).volume, QStringLiteral("20"));
}

} // namespace
