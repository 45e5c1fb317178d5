#include "health/HealthCheck.h"

#include "core/Clock.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"

#include "support/Await.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QTemporaryDir>

#include "protocol/QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

using Memory = HealthCheck::Memory;

QString host(int n) {
    return test::loopback(n + 1);
}
QString uuid(int n) {
    return QStringLiteral("RINCON_H%1").arg(n);
}

QStringList names(const QList<HealthSpeaker>& speakers) {
    QStringList out;
    for (const HealthSpeaker& s : speakers)
        out.append(s.name);
    return out;
}

QStringList issueIds(const HealthReport& report) {
    QStringList out;
    for (const HealthIssue& issue : report.issues)
        out.append(issue.id);
    return out;
}

const HealthSpeaker* find(const HealthReport& report, const QString& id) {
    for (const HealthSpeaker& s : report.speakers)
        if (s.id == id)
            return &s;
    return nullptr;
}

// Three speakers on the simulator (1: Küche, 2: Bad 10, 3: Bad 2), the household showing the
// first two as rooms; this computer's facts are injected, never probed.
class HealthCheckRun : public ::testing::Test {
protected:
    void SetUp() override {
        Probe::environment() = Probe::Environment{};
        Probe::environment().speakerIdle = 500ms;
        sim::FakeHousehold fake;
        const QStringList zoneNames = {QStringLiteral("Küche"), QStringLiteral("Bad 10"),
                                       QStringLiteral("Bad 2")};
        for (int n = 1; n <= 3; ++n) {
            sim::FakeSpeaker speaker;
            speaker.host = host(n);
            speaker.uuid = uuid(n);
            speaker.zoneName = zoneNames[n - 1];
            speaker.modelName = QStringLiteral("Era 100");
            speaker.displayVersion = QStringLiteral("16.1");
            speaker.softwareVersion = QStringLiteral("85.0-from-description");
            speaker.topologyAttributes = {{QStringLiteral("SoftwareVersion"), QStringLiteral("85.0")},
                                          {QStringLiteral("WirelessMode"), QStringLiteral("1")},
                                          {QStringLiteral("ChannelFreq"), QStringLiteral("5180")}};
            fake.speakers.append(speaker);
            fake.groups.append(sim::FakeGroup{uuid(n) + QStringLiteral(":1"), uuid(n), {uuid(n)}});
        }
        fake.speakers[2].topologyAttributes.remove(QStringLiteral("SoftwareVersion"));
        fake.speakers[2].modelName = QString(); // the description names no model
        sim = std::make_unique<sim::SpeakerSimulator>(fake);

        settings = std::make_unique<SettingsStore>(dir.path() + QStringLiteral("/settings.json"));
        settings->setBool(HouseholdKeys::onboarded, true);
        settings->setTextList(HouseholdKeys::knownHosts, {host(2), host(9)});
        makeHousehold();
    }

    void TearDown() override {
        Probe::environment() = Probe::Environment{};
        Clock::useReal();
    }

    void makeHousehold() {
        QList<SpeakerGroup> groups;
        for (int n : {1, 3}) {
            Room room{uuid(n), QStringLiteral("Room %1").arg(n), host(n)};
            groups.append(SpeakerGroup{room.id, room.id, {room}});
        }
        household = std::make_unique<Household>(
            *settings, groups, QMap<QString, QString>{{uuid(3), QStringLiteral("Household Model")}});
    }

    std::unique_ptr<HealthCheck> makeCheck() {
        HealthCheck::Probes probes;
        probes.mac = [this](bool deep) -> QCoro::Task<MacNetwork> {
            ++macProbes;
            MacNetwork m = mac;
            if (deep)
                m.doubleNAT = true;
            co_return m;
        };
        return std::make_unique<HealthCheck>(household.get(), *settings, probes);
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::SpeakerSimulator> sim;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Household> household;
    MacNetwork mac = [] {
        MacNetwork m;
        m.interface = QStringLiteral("eth0");
        return m;
    }();
    int macProbes = 0;
};

TEST(HealthCheckHosts, RoomsThenKnownHostsThenRemembered) {
    Memory memory{{QStringLiteral("X"), {{QStringLiteral("host"), QStringLiteral("10.0.0.9")}}},
                  {QStringLiteral("Y"), {{QStringLiteral("name"), QStringLiteral("no host")}}},
                  {QStringLiteral("Z"), {{QStringLiteral("host"), QStringLiteral("10.0.0.1")}}}};
    EXPECT_EQ(HealthCheck::hostsToAsk({QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2")},
                                      {QStringLiteral("10.0.0.3"), QStringLiteral("10.0.0.1")}, memory),
              (QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.3"),
                           QStringLiteral("10.0.0.9")}));
}

TEST(HealthCheckMemory, MissingEntries) {
    const Memory memory{
        {QStringLiteral("A"),
         {{QStringLiteral("household"), QStringLiteral("H")}, {QStringLiteral("name"), QStringLiteral("a")}}},
        {QStringLiteral("B"), {{QStringLiteral("household"), QStringLiteral("Other")}}},
        {QStringLiteral("C"), {{QStringLiteral("name"), QStringLiteral("no household")}}},
        {QStringLiteral("D"), {}},
        {QStringLiteral("E"), {{QStringLiteral("household"), QStringLiteral("H")}}},
    };
    QStringList ids;
    for (const auto& [id, fields] : HealthCheck::missing(memory, QStringLiteral("H"), {QStringLiteral("E")}))
        ids.append(id);
    EXPECT_EQ(ids, QStringList{QStringLiteral("A")});
    EXPECT_TRUE(HealthCheck::missing({}, QStringLiteral("H"), {}).isEmpty());
}

TEST(HealthCheckSort, NumbersByValueThenModel) {
    QList<HealthSpeaker> speakers;
    for (const auto& [name, model] : {std::pair<const char*, const char*>{"Bad 10", "A"},
                                      {"bad 2", "B"},
                                      {"Küche", "Z"},
                                      {"Küche", nullptr},
                                      {"Küche", "M"},
                                      {"Arbeit", "Q"}}) {
        HealthSpeaker s;
        s.name = QString::fromUtf8(name);
        if (model)
            s.model = QString::fromLatin1(model);
        speakers.append(s);
    }
    HealthCheck::sortSpeakers(speakers);
    QStringList order;
    for (const HealthSpeaker& s : speakers)
        order.append(s.name + QLatin1Char('/') + s.model.value_or(QStringLiteral("-")));
    EXPECT_EQ(order,
              (QStringList{QStringLiteral("Arbeit/Q"), QStringLiteral("bad 2/B"), QStringLiteral("Bad 10/A"),
                           QStringLiteral("Küche/-"), QStringLiteral("Küche/M"), QStringLiteral("Küche/Z")}));
}

TEST_F(HealthCheckRun, DeepCheckMergesProbesAndRemembers) {
    sim->update([](sim::FakeHousehold& h) {
        h.updateItem = QStringLiteral(R"(<UpdateItem Version="86.0" UpdateURL="http://u/x-v16.2-y"/>)");
        h.vanishedDevices = QStringLiteral(
            R"(<Device UUID="RINCON_H3" ZoneName="Bad Zwei"/><Device UUID="RINCON_GONE" ZoneName="Gone"/>)");
    });
    auto check = makeCheck();
    test::run(check->check(true));
    ASSERT_TRUE(check->report());
    const HealthReport& report = *check->report();
    EXPECT_EQ(names(report.speakers),
              (QStringList{QStringLiteral("Bad 10"), QStringLiteral("Bad Zwei"), QStringLiteral("Küche")}));
    EXPECT_EQ(report.household, std::optional<QString>(QStringLiteral("Sonos_SIM_HOUSEHOLD")));
    EXPECT_EQ(report.update, (HealthUpdate{QStringLiteral("86.0"), QStringLiteral("16.2")}));
    EXPECT_EQ(report.mac.doubleNAT, std::optional<bool>(true));

    const HealthSpeaker* kitchen = find(report, uuid(1));
    ASSERT_TRUE(kitchen);
    EXPECT_TRUE(kitchen->reachable);
    EXPECT_TRUE(kitchen->latency);
    EXPECT_EQ(kitchen->version, std::optional<QString>(QStringLiteral("85.0"))); // the topology's wins
    EXPECT_EQ(kitchen->displayVersion, std::optional<QString>(QStringLiteral("16.1")));
    EXPECT_EQ(kitchen->model, std::optional<QString>(QStringLiteral("Era 100")));
    EXPECT_EQ(kitchen->channel(), std::optional<std::int64_t>(36));
    const HealthSpeaker* bath = find(report, uuid(3));
    ASSERT_TRUE(bath);
    EXPECT_EQ(bath->version, std::optional<QString>(QStringLiteral("85.0-from-description")));
    EXPECT_EQ(bath->model, std::optional<QString>(QStringLiteral("Household Model")));

    // Versions 85.0 twice and the description's once: one firmware issue; the update is quiet.
    EXPECT_EQ(issueIds(report),
              (QStringList{QStringLiteral("firmware"), QStringLiteral("update"), QStringLiteral("nat")}));

    // Every listed speaker is remembered whole.
    EXPECT_EQ(check->known().value(uuid(1)),
              (QMap<QString, QString>{{QStringLiteral("name"), QStringLiteral("Küche")},
                                      {QStringLiteral("host"), host(1)},
                                      {QStringLiteral("model"), QStringLiteral("Era 100")},
                                      {QStringLiteral("household"), QStringLiteral("Sonos_SIM_HOUSEHOLD")}}));
    EXPECT_EQ(settings->textMaps(QStringLiteral("healthKnownSpeakers")),
              std::optional<Memory>(check->known()));
    EXPECT_FALSE(check->checking());
}

TEST_F(HealthCheckRun, QuickCheckCarriesDoubleNATAndUpdateOfTheSameHousehold) {
    sim->update(
        [](sim::FakeHousehold& h) { h.updateItem = QStringLiteral(R"(<UpdateItem Version="86.0"/>)"); });
    auto check = makeCheck();
    test::run(check->check(false));
    EXPECT_EQ(check->report()->mac.doubleNAT, std::nullopt);
    EXPECT_EQ(check->report()->update, std::nullopt);
    EXPECT_TRUE(sim->requests(QString(), QStringLiteral("CheckForUpdate")).isEmpty());

    test::run(check->check(true));
    test::run(check->check(false));
    EXPECT_EQ(check->report()->mac.doubleNAT, std::optional<bool>(true));
    EXPECT_EQ(check->report()->update, (HealthUpdate{QStringLiteral("86.0"), std::nullopt}));
    EXPECT_EQ(sim->requests(QString(), QStringLiteral("CheckForUpdate")).size(), 1);

    sim->update([](sim::FakeHousehold& h) { h.householdId = QStringLiteral("Another"); });
    test::run(check->check(false));
    EXPECT_EQ(check->report()->update, std::nullopt);
    EXPECT_EQ(check->report()->mac.doubleNAT, std::optional<bool>(true));
}

TEST_F(HealthCheckRun, RememberedSpeakerComesBackOfflineAndCanBeForgotten) {
    settings->setTextMaps(
        QStringLiteral("healthKnownSpeakers"),
        {{QStringLiteral("RINCON_OLD"),
          {{QStringLiteral("name"), QStringLiteral("Keller")},
           {QStringLiteral("model"), QStringLiteral("Sub")},
           {QStringLiteral("host"), host(20)},
           {QStringLiteral("household"), QStringLiteral("Sonos_SIM_HOUSEHOLD")}}},
         {QStringLiteral("RINCON_NOHOST"),
          {{QStringLiteral("household"), QStringLiteral("Sonos_SIM_HOUSEHOLD")}}},
         {QStringLiteral("RINCON_ELSE"),
          {{QStringLiteral("host"), host(21)}, {QStringLiteral("household"), QStringLiteral("Other")}}}});
    auto check = makeCheck();
    test::run(check->check(false));
    const HealthReport report = *check->report();
    const HealthSpeaker* cellar = find(report, QStringLiteral("RINCON_OLD"));
    ASSERT_TRUE(cellar);
    EXPECT_FALSE(cellar->inSystem);
    EXPECT_FALSE(cellar->reachable);
    EXPECT_EQ(cellar->model, std::optional<QString>(QStringLiteral("Sub")));
    const HealthSpeaker* nameless = find(report, QStringLiteral("RINCON_NOHOST"));
    ASSERT_TRUE(nameless);
    EXPECT_EQ(nameless->name, QStringLiteral("RINCON_NOHOST"));
    EXPECT_EQ(nameless->host, QString());
    EXPECT_FALSE(find(report, QStringLiteral("RINCON_ELSE")));
    EXPECT_TRUE(issueIds(report).contains(QStringLiteral("offline-RINCON_OLD")));
    // The other household's host was still asked for the topology.
    EXPECT_FALSE(sim->requests().isEmpty());

    check->forget(QStringLiteral("RINCON_OLD"));
    EXPECT_FALSE(find(*check->report(), QStringLiteral("RINCON_OLD")));
    EXPECT_FALSE(issueIds(*check->report()).contains(QStringLiteral("offline-RINCON_OLD")));
    EXPECT_EQ(check->report()->checkedAt, report.checkedAt);
    EXPECT_FALSE(check->known().contains(QStringLiteral("RINCON_OLD")));
    EXPECT_FALSE(
        settings->textMaps(QStringLiteral("healthKnownSpeakers"))->contains(QStringLiteral("RINCON_OLD")));
}

TEST_F(HealthCheckRun, ForgettingDuringACheckKeepsTheSpeakerOutOfItsReport) {
    settings->setTextMaps(QStringLiteral("healthKnownSpeakers"),
                          {{QStringLiteral("RINCON_OLD"),
                            {{QStringLiteral("name"), QStringLiteral("Keller")},
                             {QStringLiteral("household"), QStringLiteral("Sonos_SIM_HOUSEHOLD")}}}});
    sim->setFault(host(1), QStringLiteral("/xml/device_description.xml"), sim::Fault::delayed(200ms));
    auto check = makeCheck();
    auto running = check->check(false);
    ASSERT_TRUE(test::waitUntil(
        [&] { return !sim->requests(QString(), QStringLiteral("/xml/device_description.xml")).isEmpty(); }));
    check->forget(QStringLiteral("RINCON_OLD"));
    test::run(std::move(running));
    EXPECT_FALSE(find(*check->report(), QStringLiteral("RINCON_OLD")));
    EXPECT_FALSE(check->known().contains(QStringLiteral("RINCON_OLD")));
}

TEST_F(HealthCheckRun, ListedSpeakerIsRememberedWholeAndAMalformedMemoryIsEmpty) {
    settings->setTextMap(QStringLiteral("healthKnownSpeakers"), {{QStringLiteral("x"), QStringLiteral("y")}});
    auto check = makeCheck();
    EXPECT_TRUE(check->known().isEmpty());
    // An older entry with a model that neither the probe nor the household supplies now.
    settings->setTextMaps(QStringLiteral("healthKnownSpeakers"),
                          {{uuid(2),
                            {{QStringLiteral("model"), QStringLiteral("Old")},
                             {QStringLiteral("name"), QStringLiteral("Old")}}}});
    sim->update([](sim::FakeHousehold& h) { h.speakers[1].modelName = QString(); });
    check = makeCheck();
    test::run(check->check(false));
    EXPECT_EQ(check->known().value(uuid(2)).value(QStringLiteral("model")), QString());
    EXPECT_EQ(check->known().value(uuid(2)).value(QStringLiteral("name")), QStringLiteral("Bad 10"));
}

TEST_F(HealthCheckRun, NoAnswerGivesNoSpeakersAndNoHousehold) {
    settings->setTextList(HouseholdKeys::knownHosts, {});
    household.reset();
    auto check = makeCheck();
    test::run(check->check(true));
    EXPECT_TRUE(check->report()->speakers.isEmpty());
    EXPECT_EQ(check->report()->household, std::nullopt);
    EXPECT_EQ(issueIds(*check->report()), (QStringList{QStringLiteral("none"), QStringLiteral("nat")}));
    EXPECT_TRUE(sim->requests().isEmpty());
}

TEST_F(HealthCheckRun, StalenessRule) {
    Clock::useManual();
    auto check = makeCheck();
    struct Case {
        const char* name;
        std::function<void()> prepare;
        bool starts;
    };
    const auto withReport = [&](bool speakers, qint64 ageSeconds) {
        return [&, speakers, ageSeconds] {
            test::run(check->check(false));
            if (!speakers) {
                sim->update([](sim::FakeHousehold& h) { h.groups.clear(); });
                test::run(check->check(false));
                sim->update([](sim::FakeHousehold& h) {
                    for (const auto& s : h.speakers)
                        h.groups.append(sim::FakeGroup{s.uuid + QStringLiteral(":1"), s.uuid, {s.uuid}});
                });
            }
            Clock::advance(std::chrono::seconds(ageSeconds));
        };
    };
    const Case cases[] = {
        {"first time", [] {}, true},
        {"onboarding not finished", [&] { settings->setBool(HouseholdKeys::onboarded, false); }, false},
        {"onboarding never stored", [&] { settings->remove(HouseholdKeys::onboarded); }, false},
        {"fresh report, 599 s", withReport(true, 599), false},
        {"report of 600 s", withReport(true, 600), true},
        {"fresh report without speakers", withReport(false, 1), true},
    };
    for (const Case& c : cases) {
        settings->setBool(HouseholdKeys::onboarded, true);
        check = makeCheck();
        c.prepare();
        const int before = macProbes;
        check->checkIfStale();
        EXPECT_EQ(check->checking(), c.starts) << c.name;
        EXPECT_EQ(macProbes - before, c.starts ? 1 : 0) << c.name;
        if (!c.starts)
            continue;
        // A second request while a check runs is dropped, a deep one too.
        check->checkIfStale();
        auto deep = check->check(true);
        EXPECT_EQ(macProbes - before, 1) << c.name;
        test::run(std::move(deep));
        EXPECT_TRUE(test::waitUntil([&] { return !check->checking(); }));
        EXPECT_EQ(check->report()->mac.doubleNAT, std::nullopt) << "the quick check's report";
    }
}

} // namespace
