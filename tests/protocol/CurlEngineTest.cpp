// The HTTP engine on its own thread, driven the way the session drives it: commands posted from
// another thread, outcomes taken when the engine says that some wait. And the session over it:
// callers are answered on their own thread.
#include "protocol/CurlEngine.h"
#include "protocol/CurlSession.h"

#include "support/Await.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <semaphore>
#include <thread>

using namespace std::chrono_literals;

namespace {

const QString description = QStringLiteral("/xml/device_description.xml");

CurlSession::Request get(const QString& host, std::chrono::milliseconds idle = 3s) {
    CurlSession::Request request;
    request.url = QStringLiteral("http://%1:1400%2").arg(host, description).toUtf8();
    request.origin = host.toUtf8() + ":1400";
    request.verb = "GET";
    request.idleLimit = idle;
    return request;
}

class CurlEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<sim::SpeakerSimulator>(sim::FakeHousehold::solo({prompt, silent}));
        sim->setFault(silent, description, sim::Fault::silence());
    }

    // Starts the engine's thread; stopped when the test ends.
    void run() {
        thread = std::thread([this] { engine.run(); });
    }
    void TearDown() override { stop(); }
    void stop() {
        if (!thread.joinable())
            return;
        engine.post(CurlEngine::Stop{});
        thread.join();
    }

    // The next outcomes the engine hands over; none after 20 s.
    std::vector<std::pair<CurlEngine::Id, CurlEngine::Outcome>> next() {
        if (!waiting.try_acquire_for(20s))
            return {};
        return engine.takeOutcomes();
    }

    const QString prompt = test::loopback(2);
    const QString silent = test::loopback(3);
    std::unique_ptr<sim::SpeakerSimulator> sim;
    std::counting_semaphore<> waiting{0};
    CurlEngine engine{[this] { waiting.release(); }};
    std::thread thread;
};

TEST_F(CurlEngineTest, AnswersComeBackTaggedWithTheirTransfer) {
    ASSERT_TRUE(engine.usable());
    run();
    engine.post(CurlEngine::Start{7, get(prompt)});
    const auto outcomes = next();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].first, 7u);
    EXPECT_EQ(outcomes[0].second.status, 200);
    EXPECT_TRUE(outcomes[0].second.body.contains("<device>"));
}

TEST_F(CurlEngineTest, ACancelledTransferIsNeverHandedOver) {
    run();
    // Left alone, the first would end by its idle limit before the second ends by its own.
    engine.post(CurlEngine::Start{1, get(silent, 300ms)});
    engine.post(CurlEngine::Cancel{1});
    engine.post(CurlEngine::Start{2, get(silent, 600ms)});
    const auto outcomes = next();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].first, 2u);
    EXPECT_EQ(outcomes[0].second.error, QNetworkReply::TimeoutError);
}

TEST_F(CurlEngineTest, ATransferCancelledInItsOwnBatchIsNeverSent) {
    // Posted before the engine runs, the three commands reach it as one batch.
    engine.post(CurlEngine::Start{1, get(prompt)});
    engine.post(CurlEngine::Start{2, get(prompt)});
    engine.post(CurlEngine::Cancel{1});
    run();
    const auto outcomes = next();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].first, 2u);
    EXPECT_EQ(sim->requests().size(), 1u);
}

TEST_F(CurlEngineTest, StoppingLetsRunningAndWaitingTransfersGoUnanswered) {
    run();
    // More than one host takes at once: some run, the rest wait for a free connection.
    for (CurlEngine::Id id = 1; id <= 9; ++id)
        engine.post(CurlEngine::Start{id, get(silent)});
    ASSERT_TRUE(test::waitUntil([&] { return sim->requests().size() >= 6; }));
    stop();
    EXPECT_TRUE(engine.takeOutcomes().empty());
    EXPECT_EQ(sim->requests().size(), 6u);
}

TEST_F(CurlEngineTest, TheSessionAnswersOnTheCallersThread) {
    QThread* answeredOn = nullptr;
    CurlSession::instance().start(get(prompt), [&](CurlSession::Outcome outcome) {
        EXPECT_EQ(outcome.status, 200);
        answeredOn = QThread::currentThread();
    });
    ASSERT_TRUE(test::waitUntil([&] { return answeredOn != nullptr; }));
    EXPECT_EQ(answeredOn, QCoreApplication::instance()->thread());
}

// A request on a connection of its own leaves no idle connection behind: two requests at once
// afterwards find only the kept one, and open a second, never the one-off's.
TEST_F(CurlEngineTest, AConnectionOfItsOwnClosesWhenItsTransferEnds) {
    const auto send = [&](std::vector<CurlSession::Request> requests) {
        int answered = 0;
        for (CurlSession::Request& request : requests)
            CurlSession::instance().start(std::move(request), [&](CurlSession::Outcome outcome) {
                EXPECT_EQ(outcome.status, 200);
                ++answered;
            });
        ASSERT_TRUE(test::waitUntil([&] { return answered == int(requests.size()); }));
    };
    const auto portOfLast = [&] { return sim->requests(prompt, description).last().peerPort; };
    send({get(prompt)});
    const quint16 kept = portOfLast();
    CurlSession::Request oneOff = get(prompt);
    oneOff.freshConnection = true;
    send({oneOff});
    const quint16 own = portOfLast();
    EXPECT_NE(own, kept);

    send({get(prompt), get(prompt)});
    const auto log = sim->requests(prompt, description);
    const QList<quint16> ports{log[log.size() - 2].peerPort, log.last().peerPort};
    EXPECT_TRUE(ports.contains(kept));
    EXPECT_FALSE(ports.contains(own));
}

// The session spreads hosts over several engines: each host must stay with one of them, so
// that its limit of six connections holds, and a cancel must reach the engine that runs the
// transfer, or the host's connections stay taken by requests nobody waits for.
TEST(CurlSessionTest, EachHostKeepsItsLimitAndItsCancelsAcrossTheSessionsThreads) {
    QStringList hosts;
    for (int n = 4; n < 8; ++n)
        hosts.append(test::loopback(n));
    sim::SpeakerSimulator sim(sim::FakeHousehold::solo(hosts), 2);
    sim.setFault({}, description, sim::Fault::silence());
    std::vector<CurlSession::Id> started;
    for (int round = 0; round < 7; ++round)
        for (const QString& host : hosts)
            started.push_back(CurlSession::instance().start(get(host, 60s), [](CurlSession::Outcome) {
                ADD_FAILURE() << "a cancelled transfer was answered";
            }));
    ASSERT_TRUE(test::waitUntil([&] { return sim.requests().size() >= 24; }));
    QTest::qWait(100); // a seventh request to a host would come now
    for (const QString& host : hosts)
        EXPECT_EQ(sim.requests(host, description).size(), 6) << host.toStdString();

    for (const CurlSession::Id id : started)
        CurlSession::cancel(id);
    sim.clearFaults();
    int answered = 0;
    for (const QString& host : hosts)
        CurlSession::instance().start(get(host, 60s), [&](CurlSession::Outcome outcome) {
            EXPECT_EQ(outcome.status, 200);
            ++answered;
        });
    EXPECT_TRUE(test::waitUntil([&] { return answered == hosts.size(); }, 10s));
}

} // namespace
