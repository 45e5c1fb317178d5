// Joining and leaving groups: the local picture first, one request to the moving room's own
// speaker, and one refresh 1.0 s after the last change in flight.
#include "household/GroupingFixture.h"
#include "household/HouseholdTexts.h"
#include "protocol/Events.h"
#include "protocol/Soap.h"
#include "protocol/SonosError.h"
#include "support/SimFavorites.h"

#include <QMutex>
#include <QSignalSpy>

#include <algorithm>

using namespace grouping;

namespace {

QString joining(int room, int coordinator) {
    return QString::number(room) + u" SetAVTransportURI InstanceID=0 CurrentURI=x-rincon:"_s +
           uuid(coordinator) + u" CurrentURIMetaData="_s;
}

using Grouping = GroupingLive;

TEST_F(Grouping, ChangesThatWouldMoveNothingSendNothing) {
    Household& h = start({{1, 2, 3}}, 4);
    struct Case {
        const char* name;
        int room;
        int group; // by its coordinator
        bool on;
    };
    const Case cases[] = {
        {"leaving a one-room group", 4, 4, false},
        {"joining one's own one-room group", 4, 4, true},
        {"a member joining the group it is in", 2, 1, true},
        {"the coordinator joining its own group", 1, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = shown();
        const QString groupID = groupOf(c.group).id;
        QSignalSpy changed(&h, &Household::groupsChanged);
        QCoro::Task<void> change = h.setMember(roomOf(c.room), groupOf(c.group), c.on);
        EXPECT_TRUE(change.isReady()); // nothing sent, nothing to wait for
        EXPECT_EQ(shown(), before);
        EXPECT_EQ(groupOf(c.group).id, groupID);
        EXPECT_EQ(changed.count(), 0);
        EXPECT_EQ(probe().pendingChanges(), 0);
        EXPECT_EQ(probe().generation(), 0);
        EXPECT_EQ(Clock::pendingCount(), 0);
        if (!change.isReady())
            finish(std::move(change));
    }
    EXPECT_TRUE(simulator->requests().isEmpty());
}

TEST_F(Grouping, JoinAllWithoutAnActiveGroupOrWithEveryRoomInItSendsNothing) {
    Household& h = start({{1, 2}}, 2);
    probe().setActive(uuid(1));
    test::run(h.joinAll());
    probe().setGroups({});
    test::run(h.joinAll());
    EXPECT_TRUE(simulator->requests().isEmpty());
    EXPECT_EQ(probe().generation(), 0);
}

TEST_F(Grouping, AMemberLeavesIntoAGroupOfItsOwn) {
    Household& h = start({{1, 2, 3}}, 3);
    const QString groupID = groupOf(1).id;
    QCoro::Task<void> leaving = h.setMember(roomOf(2), groupOf(1), false);
    // Shown at once, counted while the request is under way.
    EXPECT_EQ(shown(), (QStringList{u"A*+C"_s, u"B*"_s}));
    EXPECT_EQ(groupOf(1).id, groupID);
    const SpeakerGroup solo = groupOf(2);
    EXPECT_EQ(solo.id, u"solo-"_s + uuid(2));
    EXPECT_EQ(solo.state, u"STOPPED"_s);
    EXPECT_EQ(solo.rooms, QList<Room>{roomOf(2)});
    EXPECT_EQ(probe().generation(), 1);
    EXPECT_EQ(probe().pendingChanges(), 1);
    EXPECT_EQ(h.activeCoordinator(), uuid(1));

    finish(std::move(leaving));
    EXPECT_EQ(membershipRequests(), QStringList{u"2 BecomeCoordinatorOfStandaloneGroup InstanceID=0"_s});
    EXPECT_EQ(topologyReads(), 1);
    // The refresh put the speakers' own group in place of the local one.
    EXPECT_EQ(speakersSay(), (QStringList{u"A*+C"_s, u"B*"_s}));
    EXPECT_EQ(shown(), (QStringList{u"A*+C"_s, u"B*"_s}));
    EXPECT_NE(groupOf(2).id, u"solo-"_s + uuid(2));
    EXPECT_EQ(probe().pendingChanges(), 0);
    EXPECT_FALSE(h.error());
}

TEST_F(Grouping, TheCoordinatorLeavingHandsTheGroupToTheNextRoom) {
    Household& h = start({{1, 2, 3}}, 3);
    const SpeakerGroup before = groupOf(1);
    QCoro::Task<void> leaving = h.setMember(roomOf(1), before, false);
    EXPECT_EQ(shown(), (QStringList{u"A*"_s, u"B*+C"_s}));
    EXPECT_EQ(groupOf(2).id, before.id);
    EXPECT_EQ(groupOf(1).id, u"solo-"_s + uuid(1));
    EXPECT_EQ(h.activeCoordinator(), uuid(2));

    finish(std::move(leaving));
    EXPECT_EQ(membershipRequests(),
              QStringList{u"1 DelegateGroupCoordinationTo InstanceID=0 NewCoordinator="_s + uuid(2) +
                          u" RejoinGroup=0"_s});
    EXPECT_EQ(speakersSay(), (QStringList{u"A*"_s, u"B*+C"_s}));
    EXPECT_EQ(shown(), (QStringList{u"A*"_s, u"B*+C"_s}));
    EXPECT_EQ(h.activeGroup()->coordinatorID, uuid(2));
}

TEST_F(Grouping, TheLastRoomOfAGroupJoinsAnotherAtItsPlaceInTheRoomOrder) {
    Household& h = start({{2, 3}}, 3);
    QCoro::Task<void> joiningTask = h.setMember(roomOf(1), groupOf(2), true);
    EXPECT_EQ(shown(), QStringList{u"A+B*+C"_s});
    finish(std::move(joiningTask));
    EXPECT_EQ(membershipRequests(), QStringList{joining(1, 2)});
    EXPECT_EQ(speakersSay(), QStringList{u"A+B*+C"_s});
    EXPECT_EQ(shown(), QStringList{u"A+B*+C"_s});
}

// The favourites' SetAVTransportURI kinds and the joins live side by side on one speaker.
TEST_F(Grouping, JoinsWorkBesideTheFavouritesActions) {
    Household& h = start({}, 2);
    sim::installFavoritesActions(*simulator);
    finish(h.setMember(roomOf(2), groupOf(1), true));
    EXPECT_FALSE(h.error());
    EXPECT_EQ(speakersSay(), QStringList{u"A*+B"_s});
    test::run(SOAP::call(host(1), Service::avTransport, u"SetAVTransportURI"_s,
                         {{u"InstanceID"_s, u"0"_s},
                          {u"CurrentURI"_s, u"x-rincon-queue:"_s + uuid(1) + u"#0"_s},
                          {u"CurrentURIMetaData"_s, {}}}));
    EXPECT_EQ(simulator->speaker(host(1)).transport.avTransportUri, u"x-rincon-queue:"_s + uuid(1) + u"#0"_s);
    EXPECT_EQ(speakersSay(), QStringList{u"A*+B"_s});
}

TEST_F(Grouping, JoiningAGroupThatIsGoneShowsTheRoomAloneAndStillSends) {
    Household& h = start({}, 2);
    SpeakerGroup gone = groupOf(2);
    gone.id = u"gone"_s;
    QCoro::Task<void> joiningTask = h.setMember(roomOf(1), gone, true);
    EXPECT_EQ(shown(), (QStringList{u"A*"_s, u"B*"_s}));
    EXPECT_EQ(groupOf(1).id, u"solo-"_s + uuid(1));
    finish(std::move(joiningTask));
    EXPECT_EQ(membershipRequests(), QStringList{joining(1, 2)});
    EXPECT_EQ(shown(), QStringList{u"A+B*"_s});
}

// One refresh, 1.0 s after the last request finished, however the changes overlap: two in
// flight together, and a third that starts and ends while the first ones wait.
TEST_F(Grouping, ChangesInQuickSuccessionLeadToOneRefreshAfterTheLast) {
    Household& h = start({}, 4);
    QCoro::Task<void> first = h.setMember(roomOf(3), groupOf(1), true);
    QCoro::Task<void> second = h.setMember(roomOf(4), groupOf(1), true);
    EXPECT_EQ(probe().pendingChanges(), 2);
    ASSERT_TRUE(test::waitUntil([&] { return probe().pendingChanges() == 0; }));
    Clock::advance(500ms);
    QCoro::Task<void> third = h.setMember(roomOf(2), groupOf(1), true);
    EXPECT_EQ(probe().generation(), 3);
    ASSERT_TRUE(test::waitUntil([&] { return probe().pendingChanges() == 0; }));
    // The first two waits end here; a change began during them, so they step aside.
    Clock::advance(500ms);
    Clock::advance(499ms);
    EXPECT_EQ(topologyReads(), 0);
    Clock::advance(1ms);
    ASSERT_TRUE(test::waitUntil([&] { return first.isReady() && second.isReady() && third.isReady(); }));
    EXPECT_EQ(topologyReads(), 1);
    EXPECT_EQ(membershipRequests().size(), 3);
    EXPECT_EQ(shown(), QStringList{u"A*+B+C+D"_s});
    EXPECT_EQ(speakersSay(), QStringList{u"A*+B+C+D"_s});
}

// A failed request keeps the local picture until the refresh, which follows as after a
// success; the next successful change clears the text.
TEST_F(Grouping, AFailedJoinShowsItsTextAndIsFollowedByTheSameRefresh) {
    struct Case {
        const char* name;
        bool offline;
        bool vpn;
        QString text;
    };
    const Case cases[] = {
        {"refused", false, false, u"SetAVTransportURI failed (UPnP 402)"_s},
        {"no answer", true, false, HouseholdTexts::unreachable()},
        {"no answer with VPN", true, true, HouseholdTexts::unreachableVpn()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Household& h = start({}, 3);
        interfaces.vpn = c.vpn;
        if (c.offline)
            simulator->setOffline(host(1), true);
        else
            simulator->setFault(host(1), u"SetAVTransportURI"_s, sim::Fault::upnp(u"402"_s));
        QCoro::Task<void> failing = h.setMember(roomOf(1), groupOf(2), true);
        ASSERT_TRUE(test::waitUntil([&] { return probe().pendingChanges() == 0; }));
        EXPECT_EQ(h.error(), c.text);
        EXPECT_EQ(shown(), (QStringList{u"A+B*"_s, u"C*"_s}));
        Clock::advance(999ms);
        EXPECT_EQ(topologyReads(), 0);
        finish(std::move(failing));
        EXPECT_EQ(topologyReads(), 1);
        EXPECT_EQ(shown(), (QStringList{u"A*"_s, u"B*"_s, u"C*"_s}));

        interfaces.vpn = false;
        finish(h.setMember(roomOf(3), groupOf(2), true));
        EXPECT_FALSE(h.error());
        EXPECT_EQ(shown(), (QStringList{u"A*"_s, u"B*+C"_s}));
        household.reset();
        Clock::advance(60s);
    }
}

TEST_F(Grouping, JoinAllSendsEveryOutsideRoomToTheActiveGroupAtOnce) {
    Household& h = start({{1, 2}}, 6);
    probe().setActive(uuid(1));
    QCoro::Task<void> all = h.joinAll();
    EXPECT_EQ(shown(), QStringList{u"A*+B+C+D+E+F"_s});
    EXPECT_EQ(probe().pendingChanges(), 4);
    EXPECT_EQ(probe().generation(), 4);
    finish(std::move(all));
    QStringList sent = membershipRequests();
    sent.sort(); // four connections: the order of arrival is free
    EXPECT_EQ(sent, (QStringList{joining(3, 1), joining(4, 1), joining(5, 1), joining(6, 1)}));
    EXPECT_EQ(topologyReads(), 1);
    EXPECT_EQ(shown(), QStringList{u"A*+B+C+D+E+F"_s});
    EXPECT_EQ(speakersSay(), QStringList{u"A*+B+C+D+E+F"_s});
}

// The first failure of join-all stays once every join has finished, although a join that
// succeeded ended after it.
TEST_F(Grouping, JoinAllShowsItsFirstFailureOnceAllJoinsEnded) {
    Household& h = start({}, 4);
    probe().setActive(uuid(1));
    simulator->setFault(host(2), u"SetAVTransportURI"_s, sim::Fault::upnp(u"402"_s));
    simulator->setFault(host(3), u"SetAVTransportURI"_s, sim::Fault::delayed(100ms));
    QStringList texts;
    QObject::connect(&h, &Household::errorChanged, &h, [&] { texts.append(h.error().value_or(u"-"_s)); });
    finish(h.joinAll());
    EXPECT_EQ(membershipRequests().size(), 3);
    EXPECT_EQ(h.error(), u"SetAVTransportURI failed (UPnP 402)"_s);
    EXPECT_EQ(texts, QStringList{u"SetAVTransportURI failed (UPnP 402)"_s});
}

// A refresh never publishes a topology that a membership change has overtaken: not while a
// change is in flight at its end, nor when a change began and finished while it read.
TEST_F(Grouping, ARefreshOverlappingAChangeDoesNotUndoTheLocalPicture) {
    {
        SCOPED_TRACE("a change in flight when the refresh ends");
        Household& h = start({}, 2);
        // The speaker takes the request and holds its answer, grouping nothing.
        simulator->setHandler(Service::avTransport, u"SetAVTransportURI"_s,
                              [](sim::ActionContext&) { return sim::SoapReply::ok(); });
        simulator->setFault(host(1), u"SetAVTransportURI"_s, sim::Fault::silence());
        QCoro::Task<void> joiningTask = h.setMember(roomOf(1), groupOf(2), true);
        holdTopology = true;
        QCoro::Task<void> reading = h.refresh();
        ASSERT_TRUE(test::waitUntil([&] { return Clock::pendingCount() == 1; }));
        Clock::advance(1ms);
        ASSERT_TRUE(test::waitUntil([&] { return reading.isReady(); }));
        EXPECT_EQ(probe().pendingChanges(), 1);
        EXPECT_EQ(shown(), QStringList{u"A+B*"_s});
        // The speaker drops the request; the refresh after it shows the speakers' grouping.
        simulator->setOffline(host(1), true);
        ASSERT_TRUE(test::waitUntil([&] { return probe().pendingChanges() == 0; }));
        EXPECT_EQ(h.error(), HouseholdTexts::unreachable());
        simulator->setOffline(host(1), false);
        finish(std::move(joiningTask));
        EXPECT_EQ(shown(), (QStringList{u"A*"_s, u"B*"_s}));
    }
    {
        SCOPED_TRACE("a change begun and finished while the refresh read");
        Household& h = start({}, 2);
        holdTopology = true;
        QCoro::Task<void> reading = h.refresh();
        // The refresh has the old topology in hand and waits.
        ASSERT_TRUE(test::waitUntil([&] { return Clock::pendingCount() == 1; }));
        QCoro::Task<void> joiningTask = h.setMember(roomOf(1), groupOf(2), true);
        ASSERT_TRUE(test::waitUntil([&] { return probe().pendingChanges() == 0; }));
        Clock::advance(1ms);
        ASSERT_TRUE(test::waitUntil([&] { return reading.isReady(); }));
        EXPECT_EQ(shown(), QStringList{u"A+B*"_s});
        finish(std::move(joiningTask));
        EXPECT_EQ(shown(), QStringList{u"A+B*"_s});
        EXPECT_EQ(speakersSay(), QStringList{u"A+B*"_s});
    }
}

// The simulated speakers regroup like real ones, and report each change of the topology.
TEST_F(Grouping, TheSimulatedSpeakersRegroup) {
    start({{1, 2, 3}}, 5);
    QList<QPair<QString, Service>> reported;
    QMutex lock;
    simulator->setChangeHook([&](const QString& id, Service service) {
        QMutexLocker locker(&lock);
        if (service == Service::zoneGroupTopology)
            reported.append({id, service});
    });
    simulator->update(
        [](sim::FakeHousehold& fake) { fake.speakerByUuid(uuid(1))->transport.state = u"PLAYING"_s; });
    const auto send = [](int n, const QString& action, const SOAP::Arguments& args) {
        test::run(SOAP::call(host(n), Service::avTransport, action, args));
    };
    const auto join = [&](int n, const QString& target) {
        send(n, u"SetAVTransportURI"_s,
             {{u"InstanceID"_s, u"0"_s},
              {u"CurrentURI"_s, u"x-rincon:"_s + target},
              {u"CurrentURIMetaData"_s, {}}});
    };
    const auto leave = [&](int n) {
        send(n, u"BecomeCoordinatorOfStandaloneGroup"_s, {{u"InstanceID"_s, u"0"_s}});
    };

    // Joining oneself or a speaker that leads no group is refused and changes nothing.
    EXPECT_THROW(join(4, uuid(4)), SonosError);
    EXPECT_THROW(join(4, uuid(2)), SonosError);
    EXPECT_EQ(speakersSay(), (QStringList{u"A*+B+C"_s, u"D*"_s, u"E*"_s}));

    join(4, uuid(1));
    EXPECT_EQ(speakersSay(), (QStringList{u"A*+B+C+D"_s, u"E*"_s}));
    // The coordinator leaving hands the playback to the next member.
    leave(1);
    EXPECT_EQ(speakersSay(), (QStringList{u"A*"_s, u"B*+C+D"_s, u"E*"_s}));
    EXPECT_EQ(simulator->speaker(host(2)).transport.state, u"PLAYING"_s);
    EXPECT_EQ(simulator->speaker(host(1)).transport.state, u"STOPPED"_s);
    send(2, u"DelegateGroupCoordinationTo"_s,
         {{u"InstanceID"_s, u"0"_s}, {u"NewCoordinator"_s, uuid(3)}, {u"RejoinGroup"_s, u"0"_s}});
    EXPECT_EQ(speakersSay(), (QStringList{u"A*"_s, u"B*"_s, u"C*+D"_s, u"E*"_s}));
    EXPECT_EQ(simulator->speaker(host(3)).transport.state, u"PLAYING"_s);
    // Only a coordinator delegates, and only to a member of its group.
    EXPECT_THROW(
        send(4, u"DelegateGroupCoordinationTo"_s,
             {{u"InstanceID"_s, u"0"_s}, {u"NewCoordinator"_s, uuid(3)}, {u"RejoinGroup"_s, u"0"_s}}),
        SonosError);
    EXPECT_THROW(
        send(3, u"DelegateGroupCoordinationTo"_s,
             {{u"InstanceID"_s, u"0"_s}, {u"NewCoordinator"_s, uuid(5)}, {u"RejoinGroup"_s, u"0"_s}}),
        SonosError);
    // A speaker alone stays as it is.
    leave(5);
    EXPECT_EQ(speakersSay(), (QStringList{u"A*"_s, u"B*"_s, u"C*+D"_s, u"E*"_s}));
    {
        QMutexLocker locker(&lock);
        EXPECT_EQ(reported, (QList<QPair<QString, Service>>{{uuid(4), Service::zoneGroupTopology},
                                                            {uuid(1), Service::zoneGroupTopology},
                                                            {uuid(2), Service::zoneGroupTopology}}));
    }
    // Any other URI is a source for the speaker, not a group.
    send(5, u"SetAVTransportURI"_s,
         {{u"InstanceID"_s, u"0"_s},
          {u"CurrentURI"_s, u"x-file-cifs://nas/a.mp3"_s},
          {u"CurrentURIMetaData"_s, {}}});
    EXPECT_EQ(simulator->speaker(host(5)).transport.avTransportUri, u"x-file-cifs://nas/a.mp3"_s);
    EXPECT_EQ(speakersSay(), (QStringList{u"A*"_s, u"B*"_s, u"C*+D"_s, u"E*"_s}));
}

// Each regrouping reaches the topology subscriber as a NOTIFY carrying the new topology.
TEST_F(Grouping, EachRegroupingReachesTheTopologySubscriber) {
    start({{1, 2}}, 3);
    Events events;
    QStringList topologies;
    events.onEvent = [&](const Events::Target& target, const Fields& fields) {
        if (target.service == EventService::zoneGroupTopology)
            topologies.append(fields.value(u"ZoneGroupState"_s));
    };
    events.start();
    events.sync({GroupAddresses{{uuid(1), host(1)}, {{uuid(1), host(1)}, {uuid(2), host(2)}}},
                 GroupAddresses{{uuid(3), host(3)}, {{uuid(3), host(3)}}}});
    ASSERT_TRUE(test::waitUntil([&] { return events.healthy() && !topologies.isEmpty(); }));

    const SOAP::Arguments instance{{u"InstanceID"_s, u"0"_s}};
    struct Step {
        const char* name;
        int speaker;
        QString action;
        SOAP::Arguments args;
        QStringList grouping;
    };
    const Step steps[] = {
        {"join",
         3,
         u"SetAVTransportURI"_s,
         instance +
             SOAP::Arguments{{u"CurrentURI"_s, u"x-rincon:"_s + uuid(1)}, {u"CurrentURIMetaData"_s, {}}},
         {u"A*+B+C"_s}},
        {"leave", 2, u"BecomeCoordinatorOfStandaloneGroup"_s, instance, {u"A*+C"_s, u"B*"_s}},
        {"hand over",
         1,
         u"DelegateGroupCoordinationTo"_s,
         instance + SOAP::Arguments{{u"NewCoordinator"_s, uuid(3)}, {u"RejoinGroup"_s, u"0"_s}},
         {u"A*"_s, u"B*"_s, u"C*"_s}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const qsizetype mark = topologies.size();
        test::run(SOAP::call(host(step.speaker), Service::avTransport, step.action, step.args));
        EXPECT_EQ(speakersSay(), step.grouping);
        ASSERT_TRUE(test::waitUntil([&] { return topologies.size() > mark; }));
        EXPECT_EQ(topologies.last(), sim::zoneGroupState(simulator->household()));
    }
}

} // namespace
