// What views bind to beyond the published values: which groups an assignment changed, and
// the plain states that notify when they change.
#include "household/GroupChanges.h"
#include "household/HouseholdFixture.h"
#include "household/SimulatedHousehold.h"
#include "support/QtPrinters.h"

#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

TEST(GroupChanges, TellsAddedRemovedChangedAndReorderedGroupsApart) {
    const SpeakerGroup a = group(u"A"_s, {room(u"a"_s, u"Bad"_s)});
    const SpeakerGroup b = group(u"B"_s, {room(u"b"_s, u"Flur"_s)});
    const SpeakerGroup c = group(u"C"_s, {room(u"c"_s, u"Küche"_s)});
    SpeakerGroup bPlaying = b;
    bPlaying.state = u"PLAYING"_s;
    SpeakerGroup cLouder = c;
    cLouder.rooms[0].volume = 30;
    SpeakerGroup aLater = a;
    aLater.positionAt = a.positionAt.addMSecs(1);

    struct Case {
        const char* what;
        QList<SpeakerGroup> before;
        QList<SpeakerGroup> after;
        GroupChanges changes;
    };
    const Case cases[] = {
        {"equal lists", {a, b}, {a, b}, {}},
        {"one group's state", {a, b, c}, {a, bPlaying, c}, {.changed = {u"B"_s}}},
        {"a room's volume", {a, c}, {a, cLouder}, {.changed = {u"C"_s}}},
        {"a measuring moment", {a}, {aLater}, {.changed = {u"A"_s}}},
        {"added and removed", {a, b}, {c, b}, {.added = {u"C"_s}, .removed = {u"A"_s}}},
        {"reordered", {a, b, c}, {c, a, b}, {.reordered = true}},
        {"reordered and changed", {a, b}, {bPlaying, a}, {.changed = {u"B"_s}, .reordered = true}},
        {"a new group in front is no reordering", {a, b}, {c, a, b}, {.added = {u"C"_s}}},
        {"from nothing", {}, {a, b}, {.added = {u"A"_s, u"B"_s}}},
        {"to nothing", {a, b}, {}, {.removed = {u"A"_s, u"B"_s}}},
    };
    for (const Case& one : cases) {
        SCOPED_TRACE(one.what);
        const GroupChanges changes = GroupChanges::between(one.before, one.after);
        EXPECT_EQ(changes.added, one.changes.added);
        EXPECT_EQ(changes.removed, one.changes.removed);
        EXPECT_EQ(changes.changed, one.changes.changed);
        EXPECT_EQ(changes.reordered, one.changes.reordered);
        EXPECT_EQ(changes.isEmpty(), one.changes.isEmpty());
    }
}

class Binding : public HouseholdFixture {};

TEST_F(Binding, EveryAssignmentNotifiesAndOnlyARealChangeSaysWhichGroups) {
    Household& h = make();
    const SpeakerGroup a = group(u"A"_s, {room(u"a"_s, u"Bad"_s)});
    const SpeakerGroup b = group(u"B"_s, {room(u"b"_s, u"Flur"_s)});
    QSignalSpy changed(&h, &Household::groupsChanged);
    QSignalSpy updated(&h, &Household::groupsUpdated);
    probe().setGroups({a, b});
    probe().setGroups({a, b});
    EXPECT_EQ(changed.count(), 2);
    ASSERT_EQ(updated.count(), 1);
    EXPECT_EQ(updated[0][0].value<GroupChanges>().added, (QStringList{u"A"_s, u"B"_s}));

    // An operation changes one group: the view learns exactly that one.
    h.setSleepTimer(b, 10);
    ASSERT_EQ(updated.count(), 2);
    EXPECT_EQ(updated[1][0].value<GroupChanges>(), (GroupChanges{.changed = {u"B"_s}}));
}

TEST_F(Binding, PlainStatesNotifyWhenTheyChange) {
    topology = {group(u"G"_s, {room(u"a"_s, u"Bad"_s)})};
    settings->setTextList(HouseholdKeys::knownHosts, {u"h1"_s});
    Household& h = make();
    QSignalSpy live(&h, &Household::liveChanged);
    QSignalSpy visible(&h, &Household::visibleChanged);
    test::run(h.refresh());
    test::run(h.refresh());
    EXPECT_TRUE(h.live());
    EXPECT_EQ(live.count(), 1);

    h.setVisible(true);
    h.setVisible(true);
    EXPECT_TRUE(h.property("visible").toBool());
    h.setProperty("visible", false);
    EXPECT_FALSE(h.visible());
    EXPECT_EQ(visible.count(), 2);
}

TEST_F(Binding, ApplyingAPresetNotifiesAtItsStartAndItsEnd) {
    const QList<SpeakerGroup> demo = {group(u"G1"_s, {room(u"a"_s, u"Bad"_s)}),
                                      group(u"G2"_s, {room(u"b"_s, u"Flur"_s)})};
    Household h(*settings, demo, {});
    QSignalSpy applying(&h, &Household::applyingPresetChanged);
    QList<bool> seen;
    QObject::connect(&h, &Household::applyingPresetChanged, [&] { seen.append(h.applyingPreset()); });
    QCoro::Task<void> task = h.apply(RoomPreset{.roomIDs = {u"a"_s, u"b"_s}});
    for (int i = 0; i < 20 && h.applyingPreset(); ++i)
        Clock::advance(500ms);
    test::run(std::move(task));
    EXPECT_EQ(seen, (QList<bool>{true, false}));
    EXPECT_EQ(h.groups().size(), 1);
}

class SubscriptionBinding : public simulated::SimulatedHousehold {};

TEST_F(SubscriptionBinding, SubscriptionHealthFollowsTheEventSubscriptions) {
    const sim::FakeHousehold fake = simulated::household({u"Bad"_s, u"Flur"_s}, {{1}, {2}});
    simulator = std::make_unique<sim::SpeakerSimulator>(fake);
    settings->setTextList(HouseholdKeys::knownHosts, {simulated::host(1)});
    Household& h = makeHousehold();
    QSignalSpy health(&h, &Household::subscriptionsHealthyChanged);
    EXPECT_FALSE(h.subscriptionsHealthy());
    h.events().start();
    test::run(h.refresh());
    ASSERT_TRUE(test::waitUntil([&] { return h.subscriptionsHealthy(); }));
    EXPECT_TRUE(h.events().healthy());
    EXPECT_EQ(health.count(), 1);

    h.events().stop();
    EXPECT_FALSE(h.subscriptionsHealthy());
    EXPECT_EQ(health.count(), 2);
}

} // namespace
