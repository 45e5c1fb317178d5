#pragma once

// A household against the loopback speakers for the membership operations, on manual time:
// the requests are real, the 1.0 s wait before each refresh moves on only when the test says.
#include "core/Clock.h"
#include "core/Delays.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "support/Await.h"
#include "support/LiveHousehold.h"

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

#include <memory>

namespace grouping {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

inline const test::SpeakerNumbers numbers{u"RINCON_GRP"_s, 2};
inline QString host(int n) {
    return numbers.host(n);
}
inline QString uuid(int n) {
    return numbers.uuid(n);
}
// Room n is called by the n-th letter, so the name order the household learns is 1, 2, 3 ...
inline QString roomName(int n) {
    return QString(QChar(u'A' + n - 1));
}

// Speakers 1..count; each list of `layout` is a group led by its first speaker, every speaker
// left out is a group of its own.
inline sim::FakeHousehold speakers(const QList<QList<int>>& layout, int count) {
    QStringList names;
    for (int n = 1; n <= count; ++n)
        names.append(roomName(n));
    return numbers.household(names, layout, true);
}

using test::describe;

class GroupingLive : public test::LiveHousehold {
protected:
    void SetUp() override { Clock::useManual(); }

    // The speakers, and a household that has read them once; the request log starts empty.
    Household& start(const QList<QList<int>>& layout, int count) {
        household.reset();
        simulator.reset();
        simulator = std::make_unique<sim::SpeakerSimulator>(speakers(layout, count));
        QStringList hosts;
        for (int n = count; n >= 1; --n)
            hosts.append(host(n));
        Household::SpeakerAccess access{
            .topology = [this](QString from) { return heldTopology(std::move(from), hold_); },
            // The playback state straight from the speakers' state, without requests.
            .poll = [this](SpeakerGroup group) -> QCoro::Task<SpeakerGroup> {
                group.state = simulator->speaker(group.coordinator().host).transport.state;
                co_return group;
            },
            .model = [](QString) -> QCoro::Task<std::optional<QString>> { co_return u"Sonos One"_s; },
            .browser = {},
            .call = {},
            .interfaces = {},
        };
        return readHousehold(hosts, std::move(access));
    }

    // The group whose coordinator is speaker n, as shown now.
    SpeakerGroup groupOf(int n) const {
        const std::optional<SpeakerGroup> group = test::groupLedBy(*household, uuid(n));
        if (!group)
            ADD_FAILURE() << "no group led by " << n;
        return group.value_or(SpeakerGroup());
    }
    Room roomOf(int n) const {
        const std::optional<Room> room = test::roomWithID(*household, uuid(n));
        if (!room)
            ADD_FAILURE() << "no room " << n;
        return room.value_or(Room());
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

    bool holdTopology = false;

    // The household's topology read, held after the read while the test acts (the answer stays
    // what the speakers said before). A coroutine of its own with its state in parameters: a
    // read still under way when the test ends may resume after the household and this fixture
    // are gone, so it must touch neither the reading lambda's captures nor the fixture then.
    static QCoro::Task<QList<SpeakerGroup>> heldTopology(QString from, std::weak_ptr<bool*> hold) {
        QList<SpeakerGroup> groups = co_await Household::readTopology(from);
        const std::shared_ptr<bool*> flag = hold.lock();
        if (flag && **flag) {
            **flag = false;
            co_await Clock::sleep(1ms);
        }
        co_return groups;
    }
    std::shared_ptr<bool*> hold_ = std::make_shared<bool*>(&holdTopology);
};

} // namespace grouping
