#pragma once

// A live household against the loopback speaker simulator, on manual time: real control
// calls and replies, with the household's waits and text clearing moved by the test.
#include "core/Clock.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "support/Await.h"
#include "support/LiveHousehold.h"
#include "support/SimFavorites.h"
#include "support/SimGena.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>

using namespace std::chrono_literals;

namespace simulated {

inline const test::SpeakerNumbers numbers{QStringLiteral("RINCON_SIM"), 2};
inline QString host(int n) {
    return numbers.host(n);
}
inline QString uuid(int n) {
    return numbers.uuid(n);
}

// Speakers 1..names.size() with the given names; groups given as lists of speaker numbers,
// the first of each list its coordinator.
inline sim::FakeHousehold household(const QStringList& names, const QList<QList<int>>& groups) {
    return numbers.household(names, groups);
}

// The actions and arguments that reached one speaker, in order, leaving out the reads of a
// refresh and of polling.
inline QList<QPair<QString, QList<QPair<QString, QString>>>> commands(const sim::SpeakerSimulator& simulator,
                                                                      const QString& host) {
    static const QStringList reads = {QStringLiteral("GetZoneGroupState"),
                                      QStringLiteral("GetTransportInfo"),
                                      QStringLiteral("GetPositionInfo"),
                                      QStringLiteral("GetRemainingSleepTimerDuration"),
                                      QStringLiteral("GetVolume"),
                                      QStringLiteral("GetMute"),
                                      QStringLiteral("GetGroupVolume"),
                                      QStringLiteral("GetGroupMute"),
                                      QStringLiteral("GetEQ"),
                                      QStringLiteral("GetZoneInfo")};
    QList<QPair<QString, QList<QPair<QString, QString>>>> out;
    for (const sim::SimRequest& request : simulator.requests())
        if (request.host == host && request.method == "POST" && !reads.contains(request.action))
            out.append({request.action, request.args});
    return out;
}

class SimulatedHousehold : public test::LiveHousehold {
protected:
    void SetUp() override { Clock::useManual(); }

    // Starts the speakers, with the favourite and renaming actions, and makes a household that
    // knows the first speaker's host and has read the household once; with `events`, it also
    // holds every event subscription and has had the first event of each.
    Household& start(sim::FakeHousehold fake, sim::Containers containers = {}, bool events = false) {
        simulator = std::make_unique<sim::SpeakerSimulator>(std::move(fake));
        sim::installFavoritesActions(*simulator, std::move(containers));
        if (!events)
            return readHousehold({host(1)});
        settings->setTextList(HouseholdKeys::knownHosts, {host(1)});
        makeHousehold();
        household->events().start();
        test::run(household->refresh());
        EXPECT_TRUE(household->live());
        EXPECT_TRUE(test::waitUntil([&] { return household->events().healthy(); }));
        // The first events make every group read again (after 0.3 s) and the topology read
        // anew (after 0.5 s); both are over before the test goes on.
        QSignalSpy applied(household.get(), &Household::groupsChanged);
        Clock::advance(300ms);
        EXPECT_TRUE(test::waitUntil([&] { return applied.count() >= household->groups().size(); }));
        settings->setData(HouseholdKeys::lastGroups, "pending");
        Clock::advance(200ms);
        EXPECT_TRUE(test::waitUntil([&] { return settings->data(HouseholdKeys::lastGroups) != "pending"; }));
        settle();
        simulator->clearRequests();
        return *household;
    }
    const SpeakerGroup& groupOf(const QString& coordinator) const {
        for (const SpeakerGroup& g : household->groups())
            if (g.coordinatorID == coordinator)
                return g;
        throw std::runtime_error("no such group");
    }
    int refreshes() const {
        return int(simulator->requests(QString(), QStringLiteral("GetZoneGroupState")).size());
    }
};

} // namespace simulated
