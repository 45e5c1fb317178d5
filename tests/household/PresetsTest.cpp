// Room presets: naming, matching, saving and deleting on a household without network, and
// applying them against the loopback speakers.
#include "core/Texts.h"
#include "household/GroupingFixture.h"
#include "household/HouseholdFixture.h"
#include "household/HouseholdKeys.h"

#include <QSignalSpy>

namespace {

using namespace Qt::StringLiterals;

RoomPreset presetOf(const QStringList& ids) {
    return RoomPreset{.roomIDs = ids};
}

class Presets : public HouseholdFixture {
protected:
    // Rooms K(üche) and B(ad) together, W(ohnzimmer) alone; the room order is by name: B, K, W.
    Household& household3() {
        Household& h = make();
        probe().apply({group(u"G1"_s, {room(u"K"_s, u"Küche"_s), room(u"B"_s, u"Bad"_s)}),
                       group(u"G2"_s, {room(u"W"_s, u"Wohnzimmer"_s)})});
        return h;
    }
    QList<RoomPreset> stored() {
        const auto data = settings->data(HouseholdKeys::roomPresets);
        return data ? RoomPreset::decodeList(*data).value_or(QList<RoomPreset>{}) : QList<RoomPreset>{};
    }
};

TEST_F(Presets, NamesListThePresentRoomsInRoomOrder) {
    Household& h = household3();
    struct Case {
        QStringList ids;
        QString name;
    };
    const Case cases[] = {
        {{u"W"_s, u"B"_s}, u"Bad + Wohnzimmer"_s},        {{u"W"_s, u"K"_s, u"B"_s}, L(u"Alle"_s)},
        {{u"K"_s, u"W"_s, u"B"_s, u"K"_s}, L(u"Alle"_s)}, {{u"X"_s, u"K"_s}, u"Küche"_s},
        {{u"X"_s, u"Y"_s}, L(u"Unbekannte Räume"_s)},     {{}, L(u"Unbekannte Räume"_s)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(h.name(presetOf(c.ids)), c.name) << c.ids.join(u',').toStdString();
    // The test main runs in English.
    EXPECT_EQ(h.name(presetOf({u"B"_s, u"K"_s, u"W"_s})), u"All"_s);
    EXPECT_EQ(h.name(presetOf({u"X"_s})), u"Unknown rooms"_s);

    // In a household of one room, a preset of that room is named by the room.
    probe().setGroups({group(u"G1"_s, {room(u"K"_s, u"Küche"_s)})});
    EXPECT_EQ(h.name(presetOf({u"K"_s})), u"Küche"_s);
}

TEST_F(Presets, SavingKeepsTheGroupsOrderAndRefusesDuplicatesAndATenth) {
    Household& h = household3();
    QSignalSpy changed(&h, &Household::presetsChanged);
    h.savePreset(h.groups()[0]); // B, K in room order
    ASSERT_EQ(h.presets().size(), 1);
    EXPECT_EQ(h.presets()[0].roomIDs, (QStringList{u"B"_s, u"K"_s}));
    EXPECT_EQ(stored(), h.presets());
    EXPECT_EQ(changed.count(), 1);

    // The same rooms in another order, and a group without rooms, are refused silently.
    h.savePreset(group(u"G9"_s, {room(u"K"_s, u"Küche"_s), room(u"B"_s, u"Bad"_s)}));
    h.savePreset(SpeakerGroup{.id = u"empty"_s});
    EXPECT_EQ(h.presets().size(), 1);

    for (int n = 2; n <= 10; ++n)
        h.savePreset(group(u"G"_s + QString::number(n), {room(u"R"_s + QString::number(n), u"r"_s)}));
    EXPECT_EQ(h.presets().size(), 9);
    EXPECT_EQ(h.presets().last().roomIDs, QStringList{u"R9"_s});
    EXPECT_EQ(stored(), h.presets());

    // Matching ignores order and repeats; the first match wins.
    EXPECT_EQ(h.preset(group(u"X"_s, {room(u"K"_s, u"k"_s), room(u"B"_s, u"b"_s), room(u"K"_s, u"k"_s)})),
              h.presets()[0]);
    EXPECT_FALSE(h.preset(h.groups()[1]));
    EXPECT_FALSE(h.preset(group(u"X"_s, {room(u"K"_s, u"k"_s)})));

    // A restart finds them as they were.
    household.reset();
    settings.reopen();
    EXPECT_EQ(make().presets(), stored());
    EXPECT_EQ(stored().size(), 9);
}

TEST_F(Presets, DeletingRemovesByIdAndAlwaysRewritesTheList) {
    Household& h = household3();
    h.savePreset(h.groups()[0]);
    h.savePreset(h.groups()[1]);
    const RoomPreset first = h.presets()[0];
    h.deletePreset(first);
    EXPECT_EQ(h.presets().size(), 1);
    EXPECT_EQ(h.presets()[0].roomIDs, QStringList{u"W"_s});
    EXPECT_EQ(stored(), h.presets());

    settings->remove(HouseholdKeys::roomPresets);
    QSignalSpy changed(&h, &Household::presetsChanged);
    h.deletePreset(first);
    EXPECT_EQ(h.presets().size(), 1);
    EXPECT_EQ(stored(), h.presets());
    EXPECT_EQ(changed.count(), 1);
}

// Applying, against the speakers.
using namespace grouping;

class PresetsLive : public GroupingLive {
protected:
    RoomPreset of(const QList<int>& rooms) {
        QStringList ids;
        for (int n : rooms)
            ids.append(uuid(n));
        return RoomPreset{.roomIDs = ids};
    }
    void choose(int coordinator) {
        probe().setActive(uuid(coordinator));
        probe().pickedByUser() = true;
    }
    void applyAndFinish(const RoomPreset& preset) {
        finish(household->apply(preset));
        EXPECT_FALSE(household->applyingPreset());
    }
};

TEST_F(PresetsLive, TheActiveGroupsOwnRoomsSendNothingAndSelectIt) {
    Household& h = start({{1, 2}}, 3);
    probe().setActive(uuid(1));
    probe().pickedByUser() = false;
    QCoro::Task<void> applying = h.apply(of({2, 1}));
    EXPECT_TRUE(applying.isReady());
    EXPECT_TRUE(simulator->requests().isEmpty());
    EXPECT_EQ(h.activeCoordinator(), uuid(1));
    EXPECT_TRUE(probe().pickedByUser());
    EXPECT_FALSE(h.applyingPreset());
}

TEST_F(PresetsLive, ASecondApplyWhileOneRunsDoesNothing) {
    Household& h = start({}, 3);
    choose(3);
    QCoro::Task<void> first = h.apply(of({1, 2}));
    EXPECT_TRUE(h.applyingPreset());
    QCoro::Task<void> second = h.apply(of({3, 2}));
    EXPECT_TRUE(second.isReady());
    finish(std::move(first));
    EXPECT_EQ(membershipRequests(), QStringList{u"2 SetAVTransportURI InstanceID=0 CurrentURI=x-rincon:"_s +
                                                uuid(1) + u" CurrentURIMetaData="_s});
    EXPECT_EQ(shown(), (QStringList{u"A*+B"_s, u"C*"_s}));
    EXPECT_FALSE(h.applyingPreset());
}

// The target coordinator: the active group's when wanted (a), else the first playing group led
// by a wanted room, else the first such group (b).
TEST_F(PresetsLive, TheTargetIsTheActiveOrElseThePlayingOrElseTheFirstWantedGroup) {
    struct Case {
        const char* name;
        int active;
        int playing; // 0: none
        int joiner;
        int target;
    };
    const Case cases[] = {
        {"rule a", 2, 0, 1, 2},
        {"rule b, none playing", 3, 0, 2, 1},
        {"rule b, the playing one", 3, 2, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Household& h = start({}, 3);
        if (c.playing)
            simulator->update([&](sim::FakeHousehold& fake) {
                fake.speakerByUuid(uuid(c.playing))->transport.state = u"PLAYING"_s;
            });
        test::run(h.refresh());
        choose(c.active);
        applyAndFinish(of({1, 2}));
        EXPECT_EQ(membershipRequests(),
                  QStringList{QString::number(c.joiner) +
                              u" SetAVTransportURI InstanceID=0 CurrentURI=x-rincon:"_s + uuid(c.target) +
                              u" CurrentURIMetaData="_s});
        EXPECT_EQ(groupOf(c.target).rooms.size(), 2);
        EXPECT_EQ(h.activeCoordinator(), uuid(c.target));
        EXPECT_TRUE(probe().pickedByUser());
        household.reset();
        Clock::advance(60s);
    }
}

TEST_F(PresetsLive, AWantedRoomJoinsTheGroupLedByAnotherWantedRoom) {
    Household& h = start({{3, 1}}, 3); // [C*, A] and [B*]
    choose(3);
    applyAndFinish(of({1, 2}));
    EXPECT_EQ(membershipRequests(), QStringList{u"1 SetAVTransportURI InstanceID=0 CurrentURI=x-rincon:"_s +
                                                uuid(2) + u" CurrentURIMetaData="_s});
    EXPECT_EQ(shown(), (QStringList{u"A+B*"_s, u"C*"_s}));
    EXPECT_EQ(speakersSay(), (QStringList{u"A+B*"_s, u"C*"_s}));
    EXPECT_EQ(h.activeCoordinator(), uuid(2));
}

// No wanted room leads a group: the first in room order leaves to lead one, then the others
// join it, one change after the other, each followed by its refresh.
TEST_F(PresetsLive, WithoutAWantedCoordinatorTheFirstWantedRoomLeavesToLead) {
    Household& h = start({{3, 1, 2}}, 3);
    choose(3);
    applyAndFinish(of({2, 1}));
    EXPECT_EQ(membershipRequests(), (QStringList{u"1 BecomeCoordinatorOfStandaloneGroup InstanceID=0"_s,
                                                 u"2 SetAVTransportURI InstanceID=0 CurrentURI=x-rincon:"_s +
                                                     uuid(1) + u" CurrentURIMetaData="_s}));
    EXPECT_EQ(topologyReads(), 2);
    EXPECT_EQ(shown(), (QStringList{u"A*+B"_s, u"C*"_s}));
    EXPECT_EQ(speakersSay(), (QStringList{u"A*+B"_s, u"C*"_s}));
    EXPECT_EQ(h.activeCoordinator(), uuid(1));
}

TEST_F(PresetsLive, RoomsThePresetLacksLeaveTheTargetGroup) {
    Household& h = start({{2, 1, 4}}, 4); // [B*, A, D] and [C*]
    choose(2);
    applyAndFinish(of({1, 2}));
    EXPECT_EQ(membershipRequests(), QStringList{u"4 BecomeCoordinatorOfStandaloneGroup InstanceID=0"_s});
    EXPECT_EQ(shown(), (QStringList{u"A+B*"_s, u"C*"_s, u"D*"_s}));
    EXPECT_EQ(h.activeCoordinator(), uuid(2));
}

// A room that went elsewhere while the apply ran is not pulled out of its new group.
TEST_F(PresetsLive, ARoomThatLeftTheTargetMeanwhileIsLeftAlone) {
    Household& h = start({{2, 1, 4, 5}}, 5); // [B*, A, D, E] and [C*]
    choose(2);
    QCoro::Task<void> applying = h.apply(of({1, 2}));
    ASSERT_TRUE(test::waitUntil([&] { return membershipRequests().size() == 1; }));
    // Someone else moves E to C before the refresh after D's change reads the speakers.
    simulator->update([](sim::FakeHousehold& fake) {
        fake.groupOf(uuid(5))->members.removeAll(uuid(5));
        fake.groupOf(uuid(3))->members.append(uuid(5));
    });
    finish(std::move(applying));
    EXPECT_EQ(membershipRequests(), QStringList{u"4 BecomeCoordinatorOfStandaloneGroup InstanceID=0"_s});
    EXPECT_EQ(shown(), (QStringList{u"A+B*"_s, u"C*+E"_s, u"D*"_s}));
}

TEST_F(PresetsLive, RoomsTheHouseholdNoLongerHoldsAreLeftOut) {
    Household& h = start({{1, 2}}, 2);
    choose(1);
    // None here: nothing happens at all.
    QCoro::Task<void> nothing = h.apply(of({8, 9}));
    EXPECT_TRUE(nothing.isReady());
    EXPECT_FALSE(h.applyingPreset());
    EXPECT_TRUE(simulator->requests().isEmpty());
    EXPECT_EQ(h.name(of({8, 9})), L(u"Unbekannte Räume"_s));
    // One here: it ends up on its own.
    applyAndFinish(of({9, 2}));
    EXPECT_EQ(membershipRequests(), QStringList{u"2 BecomeCoordinatorOfStandaloneGroup InstanceID=0"_s});
    EXPECT_EQ(shown(), (QStringList{u"A*"_s, u"B*"_s}));
    EXPECT_EQ(h.activeCoordinator(), uuid(2));
    EXPECT_EQ(h.name(of({9, 2})), u"B"_s);
}

// A failed change does not stop the apply, and its text stays once the apply has ended,
// although a later change succeeded.
TEST_F(PresetsLive, AFailedJoinDoesNotStopTheApply) {
    Household& h = start({}, 3);
    choose(1);
    simulator->setFault(host(2), u"SetAVTransportURI"_s, sim::Fault::upnp(u"402"_s));
    QStringList texts;
    QObject::connect(&h, &Household::errorChanged, [&] { texts.append(h.error().value_or(u"-"_s)); });
    applyAndFinish(of({1, 2, 3}));
    EXPECT_EQ(membershipRequests().size(), 2);
    EXPECT_EQ(texts, QStringList{u"SetAVTransportURI failed (UPnP 402)"_s});
    EXPECT_EQ(h.error(), u"SetAVTransportURI failed (UPnP 402)"_s);
    EXPECT_EQ(shown(), (QStringList{u"A*+C"_s, u"B*"_s}));
    EXPECT_EQ(h.activeCoordinator(), uuid(1));
}

} // namespace
