// The household's rules where speakers misbehave or answers overtake each other: failed and
// hung reads, refreshes and re-polls that overlap, changes that arrive while a poll is on its
// way, speakers that restart or fall silent, and households beyond the topology limit.
#include "household/SimulatedHousehold.h"
#include "protocol/QtPrinters.h"
#include "support/SimHouseholdFaults.h"

using namespace Qt::StringLiterals;
using namespace simulated;

namespace {

class HouseholdFaults : public SimulatedHousehold {
protected:
    HouseholdProbe probe() { return HouseholdProbe{*household}; }
    const Room& roomOf(int n) const {
        for (const SpeakerGroup& g : household->groups())
            for (const Room& r : g.rooms)
                if (r.id == uuid(n))
                    return r;
        throw std::runtime_error("no such room");
    }
    // Where each room is shown: "<room n>@<coordinator n>", in room order.
    QStringList membership() const {
        QStringList out;
        for (const SpeakerGroup& g : household->groups())
            for (const Room& r : g.rooms)
                out.append(r.id.mid(10) + u'@' + g.coordinatorID.mid(10));
        out.sort();
        return out;
    }
    // Speaker `n` leaves its group into one of its own; the speakers' topology only, no event.
    void leave(int n) {
        simulator->update([n](sim::FakeHousehold& fake) {
            for (sim::FakeGroup& g : fake.groups)
                g.members.removeAll(uuid(n));
            fake.groups.append({uuid(n) + u":solo"_s, uuid(n), {uuid(n)}});
        });
    }
};

// A read that fails keeps the value last known: the group starts from what is shown.
TEST_F(HouseholdFaults, AFailedReadKeepsTheLastKnownValue) {
    sim::FakeHousehold fake = simulated::household({u"Bad"_s, u"Flur"_s}, {{1, 2}});
    fake.speakers[0].room.volume = 18;
    fake.speakers[1].room.volume = 30;
    fake.speakers[0].transport.state = u"PLAYING"_s;
    start(fake);
    const struct {
        const char* action;
        std::function<void()> check;
    } cases[] = {
        {"GetMute", [&] { EXPECT_FALSE(roomOf(1).muted); }},
        {"GetVolume", [&] { EXPECT_EQ(roomOf(1).volume, 18); }},
        {"GetTransportInfo", [&] { EXPECT_EQ(groupOf(uuid(1)).state, u"PLAYING"_s); }},
        {"GetGroupVolume", [&] { EXPECT_EQ(groupOf(uuid(1)).volume, 24); }},
    };
    simulator->update([](sim::FakeHousehold& f) { f.speakers[0].room.mute = true; });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.action);
        simulator->setFault(host(1), QString::fromLatin1(c.action), sim::Fault::httpStatus(500));
        test::run(household->refresh());
        c.check();
        EXPECT_EQ(roomOf(2).volume, 30); // read as usual
        simulator->clearFaults();
    }
}

// A hung speaker costs one time-out per poll, not one per read.
TEST_F(HouseholdFaults, AHostThatGaveNoAnswerIsNotAskedAgainInTheSamePoll) {
    sim::FakeHousehold fake = simulated::household({u"Bad"_s, u"Flur"_s}, {{1, 2}});
    fake.speakers[1].room.volume = 30;
    start(fake);
    sim::setHung(*simulator, host(2), true);
    test::run(household->refresh());
    EXPECT_EQ(simulator->requests(host(2), u"GetVolume"_s).size(), 1);
    EXPECT_EQ(simulator->requests(host(2), u"GetMute"_s).size(), 0);
    EXPECT_EQ(roomOf(2).volume, 30);
    EXPECT_FALSE(simulator->requests(host(1), u"GetMute"_s).isEmpty()); // the others as usual
}

// A refresh that started first and ends last does not publish its older topology.
TEST_F(HouseholdFaults, AnOlderRefreshNeverOverwritesANewerOne) {
    start(simulated::household({u"Bad"_s, u"Flur"_s, u"Küche"_s}, {{1, 2}, {3}}));
    simulator->setFault(host(1), u"GetZoneGroupState"_s, sim::Fault::delayed(300ms).once());
    QCoro::Task<void> older = household->refresh();
    ASSERT_TRUE(test::waitUntil([&] { return refreshes() == 1; }));
    leave(2);
    test::run(household->refresh());
    EXPECT_EQ(membership(), (QStringList{u"1@1"_s, u"2@2"_s, u"3@3"_s}));
    test::run(std::move(older));
    EXPECT_EQ(refreshes(), 2);
    EXPECT_EQ(membership(), (QStringList{u"1@1"_s, u"2@2"_s, u"3@3"_s}));
    const auto stored = SpeakerGroup::decodeList(*settings->data(HouseholdKeys::lastGroups));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 3);
}

// A re-poll of one group that a refresh overtook does not put its older membership back.
TEST_F(HouseholdFaults, AReloadDoesNotUndoARefreshThatAppliedMeanwhile) {
    start(simulated::household({u"Bad"_s, u"Flur"_s, u"Küche"_s}, {{1, 2}, {3}}));
    simulator->setFault(host(1), u"GetTransportInfo"_s, sim::Fault::delayed(300ms).once());
    probe().reload(uuid(1));
    Clock::advance(300ms);
    ASSERT_TRUE(
        test::waitUntil([&] { return !simulator->requests(host(1), u"GetTransportInfo"_s).isEmpty(); }));
    simulator->update([](sim::FakeHousehold& fake) {
        fake.groups[0].members = {uuid(1)};
        fake.groups[1].members = {uuid(3), uuid(2)};
    });
    test::run(household->refresh());
    EXPECT_EQ(membership(), (QStringList{u"1@1"_s, u"2@3"_s, u"3@3"_s}));
    // The re-poll ends: four reads of a group of one after the one that was held.
    ASSERT_TRUE(test::waitUntil([&] { return simulator->requests(host(1), u"GetMute"_s).size() >= 2; }));
    ASSERT_TRUE(test::waitUntil([&] { return simulator->requests(host(2), u"GetMute"_s).size() >= 2; }));
    settle();
    EXPECT_EQ(membership(), (QStringList{u"1@1"_s, u"2@3"_s, u"3@3"_s}));
}

// A value that changed, here or by an event, while a poll was on its way stays: the poll's
// reading is older.
TEST_F(HouseholdFaults, APollNeverRevertsANewerChange) {
    const struct {
        const char* name;
        std::function<void(Household&)> change;
    } cases[] = {
        {"event",
         [](Household& h) {
             HouseholdProbe{h}.handle({uuid(1), host(1), EventService::groupRenderingControl},
                                      {{u"GroupVolume"_s, u"35"_s}});
         }},
        {"local change, polled back after the 2 s protection",
         [](Household& h) {
             h.setVolume(SpeakerGroup(h.groups().first()), 35);
             Clock::advance(2500ms);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(simulated::household({u"Bad"_s}, {{1}}));
        simulator->update([](sim::FakeHousehold& fake) { fake.speakers[0].room.volume = 20; });
        simulator->setFault(host(1), u"GetGroupVolume"_s, sim::Fault::delayed(300ms).once());
        QCoro::Task<void> polling = household->refresh();
        // The speaker has read its answer (20) and holds it back.
        ASSERT_TRUE(
            test::waitUntil([&] { return !simulator->requests(host(1), u"GetGroupVolume"_s).isEmpty(); }));
        c.change(*household);
        EXPECT_EQ(household->groups().first().volume, 35);
        test::run(std::move(polling));
        EXPECT_EQ(household->groups().first().volume, 35);
        settle();
        household.reset();
        simulator.reset();
    }
}

// Discovery reports many hosts at a first start: one refresh runs, and at most one follows.
TEST_F(HouseholdFaults, HostsFoundDuringARefreshLeadToOneMoreRefreshAtMost) {
    const struct {
        const char* name;
        bool firstFails;
        int reads;
    } cases[] = {{"the running refresh succeeds", false, 1}, {"the running refresh fails", true, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        simulator = std::make_unique<sim::SpeakerSimulator>(
            simulated::household({u"Bad"_s, u"Flur"_s, u"Küche"_s, u"Diele"_s}, {{1, 2}, {3}, {4}}));
        household = std::make_unique<Household>(*settings);
        simulator->setFault(host(1), u"GetZoneGroupState"_s,
                            c.firstFails ? sim::Fault{sim::Fault::Kind::status, 500, u"402"_s, 200ms, 1}
                                         : sim::Fault::delayed(200ms).once());
        for (int n = 1; n <= 4; ++n)
            probe().found(host(n));
        ASSERT_TRUE(test::waitUntil([&] { return household->live() && probe().refreshesRunning() == 0; }));
        EXPECT_EQ(refreshes(), c.reads);
        EXPECT_EQ(household->groups().size(), 3);
        settle();
        household.reset();
        simulator.reset();
        settings->setTextList(HouseholdKeys::knownHosts, {});
    }
}

// A speaker that restarted, or fell silent for a while, holds no subscription any more; the
// refresh that sees it back subscribes its targets again.
TEST_F(HouseholdFaults, SpeakersThatForgotTheirSubscriptionsAreSubscribedAgain) {
    const struct {
        const char* name;
        std::function<void()> lose;
    } cases[] = {
        {"restart", [this] { sim::reboot(*simulator, host(2)); }},
        {"silent for a while",
         [this] {
             sim::setHung(*simulator, host(2), true);
             simulator->gena().forgetAll(host(2));
             test::run(household->refresh());
             sim::setHung(*simulator, host(2), false);
         }},
        // Restarting, it refuses subscriptions for a while: each refresh tries again.
        {"restart, then subscriptions refused for a while",
         [this] {
             sim::reboot(*simulator, host(2));
             sim::setRefusingSubscriptions(*simulator, host(2), true);
             test::run(household->refresh());
             ASSERT_TRUE(test::waitUntil([&] { return household->events().inFlight().isEmpty(); }));
             EXPECT_FALSE(household->events().healthy());
             sim::setRefusingSubscriptions(*simulator, host(2), false);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start(simulated::household({u"Bad"_s, u"Flur"_s}, {{1, 2}}), {}, true);
        const qsizetype held = simulator->gena().subscriptions(host(2)).size();
        ASSERT_EQ(held, 1);
        const bool told = household->events().healthy();
        c.lose();
        EXPECT_TRUE(simulator->gena().subscriptions(host(2)).isEmpty());
        // Nothing here tells, unless a subscription was refused.
        EXPECT_EQ(household->events().healthy(), told && !QByteArray(c.name).contains("refused"));
        test::run(household->refresh());
        EXPECT_TRUE(test::waitUntil([&] { return simulator->gena().subscriptions(host(2)).size() == held; }));
        EXPECT_TRUE(test::waitUntil([&] { return household->events().healthy(); }));
        EXPECT_EQ(simulator->gena().subscriptions(host(1)).size(), 4); // untouched
        settle();
        household.reset();
        simulator.reset();
    }
}

// Beyond a household size the speakers refuse the topology as a control reply; the first
// event of a topology subscription carries the same document.
TEST_F(HouseholdFaults, AHouseholdBeyondTheTopologyLimitIsReadFromTheTopologyEvent) {
    simulator = std::make_unique<sim::SpeakerSimulator>(
        simulated::household({u"Bad"_s, u"Flur"_s, u"Küche"_s}, {{1, 2}, {3}}));
    sim::limitTopologyReply(*simulator, 2);
    settings->setTextList(HouseholdKeys::knownHosts, {host(3), host(1)});
    household = std::make_unique<Household>(*settings);
    household->events().start();
    test::run(household->refresh());
    EXPECT_TRUE(household->live());
    EXPECT_EQ(membership(), (QStringList{u"1@1"_s, u"2@1"_s, u"3@3"_s}));
    EXPECT_EQ(refreshes(), 2); // each host once, then the topology read
    // The read's own subscription is cancelled; the household's usual ones remain.
    EXPECT_TRUE(test::waitUntil([&] {
        for (const sim::GenaSubscription& s : simulator->gena().subscriptions())
            if (s.callbackPath.contains("topology-read"))
                return false;
        return household->events().healthy();
    }));
}

} // namespace
