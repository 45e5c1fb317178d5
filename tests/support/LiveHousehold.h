#pragma once

// The one way the tests build a household over the loopback speaker simulator: numbered
// speakers on this test's loopback net, a household that knows some of their hosts, and the
// lookups and printers the tests read the outcome with.
#include "core/Clock.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "support/Await.h"
#include "support/FakeInterfaces.h"
#include "support/HouseholdProbe.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

namespace test {

// Speakers numbered from 1: speaker n answers on loopback(firstAddress + n - 1) and has the
// id `idPrefix` followed by n.
struct SpeakerNumbers {
    QString idPrefix;
    int firstAddress = 2;

    QString host(int n) const { return loopback(firstAddress + n - 1); }
    QString uuid(int n) const { return idPrefix + QString::number(n); }

    // Speakers 1..names.size() with these room names. Each list of `groups` is a group led by
    // its first speaker, with the id "<leader's id>:<position of the group, from 1>"; with
    // `aloneOutside`, every speaker in no list is then a group of its own.
    sim::FakeHousehold household(const QStringList& names, const QList<QList<int>>& groups,
                                 bool aloneOutside = false) const {
        sim::FakeHousehold fake;
        for (int n = 1; n <= names.size(); ++n) {
            sim::FakeSpeaker speaker;
            speaker.host = host(n);
            speaker.uuid = uuid(n);
            speaker.zoneName = names[n - 1];
            fake.speakers.append(speaker);
        }
        QList<int> placed;
        const auto add = [&](const QList<int>& members) {
            sim::FakeGroup group{uuid(members.first()) + QStringLiteral(":%1").arg(fake.groups.size() + 1),
                                 uuid(members.first()),
                                 {}};
            for (int n : members)
                group.members.append(uuid(n));
            placed.append(members);
            fake.groups.append(group);
        };
        for (const QList<int>& members : groups)
            add(members);
        for (int n = 1; aloneOutside && n <= names.size(); ++n)
            if (!placed.contains(n))
                add({n});
        return fake;
    }
};

// Groups as "A*+B+C": room names in the group's order, the coordinator marked.
inline QStringList describe(const QList<SpeakerGroup>& groups) {
    QStringList out;
    for (const SpeakerGroup& group : groups) {
        QStringList names;
        for (const Room& room : group.rooms)
            names.append(room.name + (room.id == group.coordinatorID ? QStringLiteral("*") : QString()));
        out.append(names.join(u'+'));
    }
    return out;
}

// The simulated speakers' own grouping in the same form, each group's names and the groups sorted.
inline QStringList describe(const sim::FakeHousehold& household) {
    QStringList out;
    for (const sim::FakeGroup& group : household.groups) {
        QStringList names;
        for (const QString& member : group.members) {
            const sim::FakeSpeaker* speaker = household.speakerByUuid(member);
            names.append((speaker ? speaker->zoneName : member) +
                         (member == group.coordinator ? QStringLiteral("*") : QString()));
        }
        names.sort();
        out.append(names.join(u'+'));
    }
    out.sort();
    return out;
}

// The published group led by the room of that id, or nothing.
inline std::optional<SpeakerGroup> groupLedBy(const Household& household, const QString& coordinatorID) {
    for (const SpeakerGroup& group : household.groups())
        if (group.coordinatorID == coordinatorID)
            return group;
    return std::nullopt;
}

// The published room of that id, or nothing.
inline std::optional<Room> roomWithID(const Household& household, const QString& roomID) {
    for (const Room& room : household.allRooms())
        if (room.id == roomID)
            return room;
    return std::nullopt;
}

// The base of the tests of a household over the simulator. The test makes the speakers
// (`simulator`) and then the household; the clock is the test's to choose. At the end the
// household's own work settles before it goes, then the speakers go.
class LiveHousehold : public ::testing::Test {
protected:
    void TearDown() override {
        settle();
        household.reset();
        if (Clock::isManual()) {
            // Lets every task still waiting on the clock see that its household is gone and end.
            Clock::advance(std::chrono::seconds(60));
            Clock::useReal();
        }
        simulator.reset();
    }

    // A household over the real speaker calls (or the reads and calls of `access` that are
    // set), with this test's interface list.
    Household& makeHousehold(Household::SpeakerAccess access = {}) {
        settle();
        household.reset();
        if (!access.interfaces)
            access.interfaces = interfaces.reader();
        household = std::make_unique<Household>(*settings, std::move(access));
        return *household;
    }
    // The same, knowing `knownHosts` and having read the household once; the speakers'
    // request log starts empty afterwards.
    Household& readHousehold(const QStringList& knownHosts, Household::SpeakerAccess access = {}) {
        settings->setTextList(HouseholdKeys::knownHosts, knownHosts);
        makeHousehold(std::move(access));
        run(household->refresh());
        EXPECT_TRUE(household->live());
        settle();
        simulator->clearRequests();
        return *household;
    }
    // Model lookups run on after a refresh; they end before their speakers or household go.
    void settle() {
        if (household) {
            EXPECT_TRUE(waitUntil([&] { return HouseholdProbe{*household}.fetchingModels().isEmpty(); }));
        }
    }
    HouseholdProbe probe() { return HouseholdProbe{*household}; }

    TempSettings settings;
    FakeInterfaces interfaces;
    std::unique_ptr<sim::SpeakerSimulator> simulator;
    std::unique_ptr<Household> household;
};

} // namespace test
