#include "health/Probe.h"

#include "support/Await.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QElapsedTimer>

#include "protocol/QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

const QString description = QStringLiteral("/xml/device_description.xml");

class Probes : public ::testing::Test {
protected:
    void SetUp() override {
        auto household = sim::FakeHousehold::solo(
            {a, b, c}, {QStringLiteral("Küche"), QStringLiteral("Bad"), QStringLiteral("Flur")});
        household.speakers[0].modelName = QStringLiteral("Era 100");
        household.speakers[0].softwareVersion = QStringLiteral("85.0-64200");
        household.speakers[0].displayVersion = QStringLiteral("16.1");
        sim = std::make_unique<sim::SpeakerSimulator>(household);
        Probe::environment() = Probe::Environment{};
    }

    const QString a = test::loopback(2);
    const QString b = test::loopback(3);
    const QString c = test::loopback(4);
    const QString unused = test::loopback(200);
    std::unique_ptr<sim::SpeakerSimulator> sim;
};

TEST_F(Probes, TopologyFromTheFasterSpeakerWhateverItsPlace) {
    sim->setFault(a, QStringLiteral("GetZoneGroupState"), sim::Fault::delayed(1500ms));
    sim->setFault(b, QStringLiteral("GetZoneGroupState"), sim::Fault::delayed(50ms));
    const auto system = test::run(Probe::system({a, b}));
    ASSERT_TRUE(system);
    EXPECT_EQ(system->host, b);
    EXPECT_EQ(system->household, std::optional<QString>(QStringLiteral("Sonos_SIM_HOUSEHOLD")));
    EXPECT_EQ(system->topology.devices.size(), 3);
    // The slower request was aborted: it never asked for the household id, and the probe did
    // not wait for its answer.
    EXPECT_TRUE(sim->requests(a, QStringLiteral("GetHouseholdID")).isEmpty());
    EXPECT_EQ(sim->requests(b, QStringLiteral("GetHouseholdID")).size(), 1);
}

TEST_F(Probes, TopologyAbortsTheSlowerRequestAtOnce) {
    sim->setFault(a, QStringLiteral("GetZoneGroupState"), sim::Fault::silence());
    QElapsedTimer timer;
    timer.start();
    const auto system = test::run(Probe::system({a, b}));
    ASSERT_TRUE(system);
    EXPECT_EQ(system->host, b);
    // A silent speaker would hold the probe for the 3 s idle limit if it were not aborted.
    EXPECT_LT(timer.elapsed(), 2500);
}

TEST_F(Probes, AnAbortedHouseholdIdRequestLeavesTheSpeakersConnectionForItsProbe) {
    // a answers first and wins, but only after b's household-id request is out; that request is
    // aborted. The speaker probe of b that follows still finds the connection of b's topology
    // request free, and a's household id went over a's.
    sim->setFault(a, QStringLiteral("GetHouseholdID"), sim::Fault::delayed(200ms));
    sim->setFault(b, QStringLiteral("GetZoneGroupState"), sim::Fault::delayed(50ms));
    sim->setFault(b, QStringLiteral("GetHouseholdID"), sim::Fault::silence());
    const auto system = test::run(Probe::system({a, b}));
    ASSERT_TRUE(system);
    EXPECT_EQ(system->host, a);
    ASSERT_TRUE(test::run(Probe::speaker(b)));

    const auto port = [&](const QString& host, const QString& action) {
        const QList<sim::SimRequest> requests = sim->requests(host, action);
        return requests.isEmpty() ? quint16(0) : requests.front().peerPort;
    };
    ASSERT_EQ(sim->requests(b, QStringLiteral("GetHouseholdID")).size(), 1);
    EXPECT_NE(port(b, QStringLiteral("GetHouseholdID")), port(b, QStringLiteral("GetZoneGroupState")));
    EXPECT_EQ(port(b, description), port(b, QStringLiteral("GetZoneGroupState")));
    EXPECT_EQ(port(a, QStringLiteral("GetHouseholdID")), port(a, QStringLiteral("GetZoneGroupState")));
}

TEST_F(Probes, TopologyFailuresAndTheHouseholdId) {
    sim->setFault(a, QStringLiteral("GetZoneGroupState"), sim::Fault::upnp(QStringLiteral("501")));
    sim->setFault(b, QStringLiteral("GetZoneGroupState"), sim::Fault::emptyOk());
    EXPECT_FALSE(test::run(Probe::system({a, b, unused})));

    sim->clearFaults();
    sim->setFault(a, QStringLiteral("GetHouseholdID"), sim::Fault::upnp(QStringLiteral("501")));
    const auto kept = test::run(Probe::system({a}));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->household, std::nullopt);
    EXPECT_EQ(kept->topology.devices.size(), 3);

    sim->clearRequests();
    EXPECT_FALSE(test::run(Probe::system({})));
    EXPECT_TRUE(sim->requests().isEmpty());
}

TEST_F(Probes, TopologyWithoutMembersIsNoAnswer) {
    sim->update([](sim::FakeHousehold& h) { h.groups.clear(); });
    EXPECT_FALSE(test::run(Probe::system({a})));
}

TEST_F(Probes, SpeakerLatencyIsTheMedianOfThreeRequests) {
    sim->addFault(a, description, sim::Fault::delayed(50ms).once());
    sim->addFault(a, description, sim::Fault::delayed(400ms).once());
    sim->addFault(a, description, sim::Fault::delayed(60ms).once());
    const auto answer = test::run(Probe::speaker(a));
    ASSERT_TRUE(answer);
    EXPECT_EQ(sim->requests(a, description).size(), 3);
    EXPECT_GE(answer->latency, 0.06);
    EXPECT_LT(answer->latency, 0.4);
    EXPECT_EQ(answer->model, std::optional<QString>(QStringLiteral("Era 100")));
    EXPECT_EQ(answer->version, std::optional<QString>(QStringLiteral("85.0-64200")));
    EXPECT_EQ(answer->displayVersion, std::optional<QString>(QStringLiteral("16.1")));
}

TEST_F(Probes, SpeakerFirstRequestUnansweredMeansAbsentAfterOneRequest) {
    sim->setFault(a, description, sim::Fault::httpStatus(500));
    EXPECT_FALSE(test::run(Probe::speaker(a)));
    EXPECT_EQ(sim->requests(a, description).size(), 1);

    Probe::environment().speakerIdle = 200ms;
    sim->setFault(b, description, sim::Fault::silence());
    EXPECT_FALSE(test::run(Probe::speaker(b)));
    EXPECT_EQ(sim->requests(b, description).size(), 1);

    EXPECT_FALSE(test::run(Probe::speaker(unused)));

    // A status line with a body that stops short is no answer either, whatever the status said.
    for (const auto kind : {sim::Fault::Kind::cutAfterHeaders, sim::Fault::Kind::closeUnanswered}) {
        sim->clearRequests();
        sim->setFault(c, description, sim::Fault::wire(kind).once());
        EXPECT_FALSE(test::run(Probe::speaker(c)));
        EXPECT_EQ(sim->requests(c, description).size(), 1);
    }
}

TEST_F(Probes, SpeakerLaterFailureDropsItsSample) {
    sim->addFault(a, description, sim::Fault::delayed(10ms).once());
    sim->addFault(a, description, sim::Fault::httpStatus(500).once());
    sim->addFault(a, description, sim::Fault::delayed(150ms).once());
    const auto answer = test::run(Probe::speaker(a));
    ASSERT_TRUE(answer);
    EXPECT_EQ(sim->requests(a, description).size(), 3);
    EXPECT_GE(answer->latency, 0.15); // the larger of the two samples
}

TEST_F(Probes, SpeakerTotalLimitEndsATrickle) {
    Probe::environment().speakerTotal = 300ms;
    sim->setFault(a, description, sim::Fault::silence());
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(test::run(Probe::speaker(a)));
    EXPECT_LT(timer.elapsed(), 2500);
}

TEST_F(Probes, SpeakerWithoutVersionsAndInvalidHosts) {
    const auto answer = test::run(Probe::speaker(b));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->model, std::optional<QString>(QStringLiteral("Sonos One")));
    EXPECT_EQ(answer->displayVersion, std::nullopt);
    EXPECT_EQ(answer->version, std::nullopt);

    sim->clearRequests();
    for (const char* host : {"bad host", "", "a:b:c", "127.0.0.1/x?", "u@127.0.0.1", "127.0.0.1:80"})
        EXPECT_FALSE(test::run(Probe::speaker(QString::fromLatin1(host)))) << host;
    EXPECT_TRUE(sim->requests().isEmpty());
}

TEST_F(Probes, UpdateOffered) {
    EXPECT_EQ(test::run(Probe::update(a)), std::nullopt); // no UpdateItem
    sim->update([](sim::FakeHousehold& h) {
        h.updateItem = QStringLiteral(
            R"(<UpdateItem xmlns="urn:schemas-rinconnetworks-com:update-1-0" Type="Software" Version="86.1-70010" )"
            R"(UpdateURL="https://update.example/firmware/build-v16.2-release.upd" DownloadSize="0"/>)");
    });
    EXPECT_EQ(test::run(Probe::update(a)),
              (HealthUpdate{QStringLiteral("86.1-70010"), QStringLiteral("16.2")}));
    const auto sent = sim->requests(a, QStringLiteral("CheckForUpdate"));
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[1].args,
              (QList<QPair<QString, QString>>{{QStringLiteral("UpdateType"), QStringLiteral("All")},
                                              {QStringLiteral("CachedOnly"), QStringLiteral("0")},
                                              {QStringLiteral("Version"), QString()}}));
    sim->setFault(a, QStringLiteral("CheckForUpdate"), sim::Fault::upnp(QStringLiteral("501")));
    EXPECT_EQ(test::run(Probe::update(a)), std::nullopt);
}

} // namespace
