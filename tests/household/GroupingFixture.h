#pragma once

// A household against the loopback speakers for the membership operations, on manual time:
// the requests are real, the 1.0 s wait before each refresh moves on only when the test says.
#include "core/Clock.h"
#include "core/Delays.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "protocol/Network.h"
#include "support/Await.h"
#include "support/HouseholdProbe.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

#include <memory>

namespace grouping {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

inline QString host(int n) {
    return test::loopback(n + 1);
}
inline QString uuid(int n) {
    return u"RINCON_GRP%1"_s.arg(n);
}
// Room n is called by the n-th letter, so the name order the household learns is 1, 2, 3 ...
inline QString roomName(int n) {
    return QString(QChar(u'A' + n - 1));
}

inline bool vpnUp = false;
inline std::optional<QList<Network::InterfaceAddress>> interfaces() {
    if (!vpnUp)
        return QList<Network::InterfaceAddress>{};
    return QList<Network::InterfaceAddress>{{u"tun0"_s, 0x1 | 0x40, 2}}; // IFF_UP | IFF_RUNNING, AF_INET
}

// Speakers 1..count; each list of `layout` is a group led by its first speaker, every speaker
// left out is a group of its own.
inline sim::FakeHousehold speakers(const QList<QList<int>>& layout, int count) {
    sim::FakeHousehold household;
    QSet<int> placed;
    for (int n = 1; n <= count; ++n) {
        sim::FakeSpeaker speaker;
        speaker.host = host(n);
        speaker.uuid = uuid(n);
        speaker.zoneName = roomName(n);
        household.speakers.append(speaker);
    }
    for (const QList<int>& members : layout) {
        sim::FakeGroup group{uuid(members.first()) + u":1"_s, uuid(members.first()), {}};
        for (int n : members) {
            group.members.append(uuid(n));
            placed.insert(n);
        }
        household.groups.append(group);
    }
    for (int n = 1; n <= count; ++n)
        if (!placed.contains(n))
            household.groups.append({uuid(n) + u":1"_s, uuid(n), {uuid(n)}});
    return household;
}

// Groups as "A*+B+C": room names in the group's order, the coordinator marked.
inline QStringList describe(const QList<SpeakerGroup>& groups) {
    QStringList out;
    for (const SpeakerGroup& group : groups) {
        QStringList names;
        for (const Room& room : group.rooms)
            names.append(room.name + (room.id == group.coordinatorID ? u"*"_s : QString()));
        out.append(names.join(u'+'));
    }
    return out;
}

// The simulated speakers' own grouping in the same form, groups sorted.
inline QStringList describe(const sim::FakeHousehold& household) {
    QStringList out;
    for (const sim::FakeGroup& group : household.groups) {
        QStringList names;
        for (const QString& member : group.members) {
            const sim::FakeSpeaker* speaker = household.speakerByUuid(member);
            names.append((speaker ? speaker->zoneName : member) +
                         (member == group.coordinator ? u"*"_s : QString()));
        }
        names.sort();
        out.append(names.join(u'+'));
    }
    out.sort();
    return out;
}

class GroupingLive : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useManual();
        vpnUp = false;
        Network::setInterfaceSource(&interfaces);
    }
    void TearDown() override {
        household.reset();
        // Lets every task still waiting on the clock see that its household is gone.
        Clock::advance(60s);
        Clock::useReal();
        simulator.reset();
        Network::setInterfaceSource(nullptr);
    }

    // The speakers, and a household that has read them once; the request log starts empty.
    Household& start(const QList<QList<int>>& layout, int count) {
        household.reset();
        simulator.reset();
        simulator = std::make_unique<sim::SpeakerSimulator>(speakers(layout, count));
        QStringList hosts;
        for (int n = count; n >= 1; --n)
            hosts.append(host(n));
        settings->setTextList(HouseholdKeys::knownHosts, hosts);
        Household::SpeakerAccess access{
            .topology = [this](QString from) -> QCoro::Task<QList<SpeakerGroup>> {
                QList<SpeakerGroup> groups = co_await Household::readTopology(from);
                // Held after the read, while the test acts: the answer stays what the
                // speakers said before.
                if (holdTopology) {
                    holdTopology = false;
                    co_await Clock::sleep(1ms);
                }
                co_return groups;
            },
            // The playback state straight from the speakers' state, without requests.
            .poll = [this](SpeakerGroup group) -> QCoro::Task<SpeakerGroup> {
                group.state = simulator->speaker(group.coordinator().host).transport.state;
                co_return group;
            },
            .model = [](QString) -> QCoro::Task<std::optional<QString>> { co_return u"Sonos One"_s; },
            .browser = {},
        };
        household = std::make_unique<Household>(*settings, access);
        test::run(household->refresh());
        simulator->clearRequests();
        return *household;
    }

    HouseholdProbe probe() { return HouseholdProbe{*household}; }

    // The group whose coordinator is speaker n, as shown now.
    SpeakerGroup groupOf(int n) const {
        for (const SpeakerGroup& group : household->groups())
            if (group.coordinatorID == uuid(n))
                return group;
        ADD_FAILURE() << "no group led by " << n;
        return {};
    }
    Room roomOf(int n) const {
        for (const Room& room : household->allRooms())
            if (room.id == uuid(n))
                return room;
        ADD_FAILURE() << "no room " << n;
        return {};
    }
    QStringList shown() const { return describe(household->groups()); }
    QStringList speakersSay() const { return describe(simulator->household()); }

    // The membership requests, in arrival order, as "<speaker n> <action> <name=value> ...".
    QStringList membershipRequests() const {
        QStringList out;
        for (const sim::SimRequest& request : simulator->requests()) {
            if (request.action != "SetAVTransportURI"_L1 &&
                request.action != "BecomeCoordinatorOfStandaloneGroup"_L1 &&
                request.action != "DelegateGroupCoordinationTo"_L1)
                continue;
            QString line = request.host;
            for (int n = 1; n <= 9; ++n)
                if (request.host == host(n))
                    line = QString::number(n);
            line += u' ' + request.action;
            EXPECT_EQ(request.service, Service::avTransport);
            for (const auto& [name, value] : request.args)
                line += u' ' + name + u'=' + value;
            out.append(line);
        }
        return out;
    }
    qsizetype topologyReads() const { return simulator->requests({}, u"GetZoneGroupState"_s).size(); }

    // True while every membership request has finished and the household waits on the clock.
    bool waitingOnClock() {
        return probe().pendingChanges() == 0 && Clock::pendingCount() > (household->error() ? 1 : 0);
    }

    // Drives `task` to its end: the requests run on real time, and whenever nothing but the
    // household's wait is left, manual time moves on by that wait.
    void finish(QCoro::Task<void> task) {
        bool done = false;
        auto driver = [](QCoro::Task<void> inner, bool* flag) -> QCoro::Task<void> {
            co_await std::move(inner);
            *flag = true;
        }(std::move(task), &done);
        while (!done) {
            ASSERT_TRUE(test::waitUntil([&] { return done || waitingOnClock(); }));
            if (!done)
                Clock::advance(Delays::membershipRefresh);
        }
    }

    TempSettings settings;
    std::unique_ptr<sim::SpeakerSimulator> simulator;
    std::unique_ptr<Household> household;
    bool holdTopology = false;
};

} // namespace grouping
