#include "household/HouseholdFixture.h"
#include "household/HouseholdKeys.h"

using namespace Qt::StringLiterals;

namespace {

class HouseholdMerge : public HouseholdFixture {
protected:
    QStringList ids(const QList<Room>& rooms) {
        QStringList out;
        for (const Room& r : rooms)
            out.append(r.id);
        return out;
    }
    const SpeakerGroup& published(const QString& id) {
        for (const SpeakerGroup& g : household->groups())
            if (g.id == id)
                return g;
        throw std::runtime_error("no such group");
    }
};

TEST_F(HouseholdMerge, NewRoomsJoinTheRoomOrderByNameAndAreStoredOnlyWhenNew) {
    Household& h = make();
    QSignalSpy groupsSpy(&h, &Household::groupsChanged);
    probe().apply(
        {group(u"G1"_s, {room(u"K"_s, u"kitchen"_s), room(u"A"_s, u"Attic"_s), room(u"B"_s, u"bath"_s)})});
    EXPECT_EQ(h.roomOrder(), (QStringList{u"A"_s, u"B"_s, u"K"_s}));
    EXPECT_EQ(ids(h.groups()[0].rooms), (QStringList{u"A"_s, u"B"_s, u"K"_s}));
    EXPECT_EQ(groupsSpy.count(), 1);
    EXPECT_EQ(settings->textList(HouseholdKeys::roomOrder), h.roomOrder());

    // A later room goes to the end, even though its name sorts first.
    settings->remove(HouseholdKeys::roomOrder);
    probe().apply({group(u"G1"_s, {room(u"K"_s, u"kitchen"_s), room(u"A"_s, u"Attic"_s)}),
                   group(u"G2"_s, {room(u"Z"_s, u"Aaa"_s)})});
    EXPECT_EQ(h.roomOrder(), (QStringList{u"A"_s, u"B"_s, u"K"_s, u"Z"_s}));
    settings->remove(HouseholdKeys::roomOrder);
    probe().apply({group(u"G2"_s, {room(u"Z"_s, u"Aaa"_s)})});
    EXPECT_FALSE(settings->contains(HouseholdKeys::roomOrder)); // nothing new: not written
    EXPECT_EQ(h.roomOrder().size(), 4);                         // and nothing removed
}

TEST_F(HouseholdMerge, GroupsAreOrderedByTheirBestPlacedRoomStably) {
    settings->setTextList(HouseholdKeys::roomOrder, {u"D"_s, u"X"_s, u"Y"_s, u"C"_s});
    Household& h = make();
    probe().apply({group(u"G1"_s, {room(u"C"_s, u"c"_s)}), group(u"G2"_s, {room(u"D"_s, u"d"_s)}),
                   group(u"G3"_s, {room(u"N1"_s, u"n"_s)}), group(u"G4"_s, {room(u"N2"_s, u"n"_s)})});
    QStringList order;
    for (const SpeakerGroup& g : h.groups())
        order.append(g.id);
    EXPECT_EQ(order, (QStringList{u"G2"_s, u"G1"_s, u"G3"_s, u"G4"_s}));
}

// A value changed locally is kept by merges for 2 s; each key protects its own fields.
TEST_F(HouseholdMerge, RecentLocalChangesOutrankPolledValuesForTwoSeconds) {
    make();
    SpeakerGroup local = group(u"G1"_s, {room(u"A"_s, u"a"_s, 10), room(u"B"_s, u"b"_s, 10)}, u"PLAYING"_s);
    local.volume = 30;
    local.muted = true;
    local.position = 50;
    local.nightMode = true;
    local.sleepRemaining = 600;
    probe().apply({local});
    SpeakerGroup polled = group(u"G1"_s, {room(u"A"_s, u"a"_s, 77), room(u"B"_s, u"b"_s, 88)}, u"STOPPED"_s);
    polled.volume = 5;
    polled.position = 1;
    polled.nightMode = false;
    polled.title = u"new"_s;

    struct Case {
        ChangeKey key;
        std::function<void(const SpeakerGroup&, bool kept)> check;
    };
    const QList<Case> cases = {
        {{ChangedValue::state, u"G1"_s},
         [](const SpeakerGroup& g, bool kept) {
             EXPECT_EQ(g.state, kept ? u"PLAYING"_s : u"STOPPED"_s);
             EXPECT_EQ(g.volume, 5); // not this key's field
             EXPECT_FALSE(g.muted);
         }},
        {{ChangedValue::volume, u"G1"_s},
         [](const SpeakerGroup& g, bool kept) {
             EXPECT_EQ(g.volume, kept ? 30 : 5);
             EXPECT_EQ(g.state, u"STOPPED"_s);
         }},
        {{ChangedValue::mute, u"G1"_s},
         [](const SpeakerGroup& g, bool kept) {
             EXPECT_EQ(g.muted, kept);
             EXPECT_EQ(g.position, 1);
         }},
        {{ChangedValue::position, u"G1"_s},
         [](const SpeakerGroup& g, bool kept) { EXPECT_EQ(g.position, kept ? 50 : 1); }},
        {{ChangedValue::tvSound, u"G1"_s},
         [](const SpeakerGroup& g, bool kept) { EXPECT_EQ(g.nightMode, kept); }},
        {{ChangedValue::sleepTimer, u"G1"_s},
         [](const SpeakerGroup& g, bool kept) {
             EXPECT_EQ(g.sleepRemaining, kept ? std::optional<double>(600) : std::nullopt);
         }},
        {{ChangedValue::roomVolume, u"A"_s},
         [](const SpeakerGroup& g, bool kept) {
             EXPECT_EQ(g.rooms[0].volume, kept ? 10 : 77);
             EXPECT_EQ(g.rooms[1].volume, 88);
             EXPECT_EQ(g.volume, 5);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.key.value));
        probe().apply({local});
        probe().recentlyChanged().clear();
        probe().recentlyChanged().insert(c.key, Clock::monotonic());
        Clock::advance(1900ms);
        probe().apply({polled});
        c.check(published(u"G1"_s), true);
        EXPECT_EQ(published(u"G1"_s).title, u"new"_s); // never protected
        probe().apply({local});
        probe().recentlyChanged().insert(c.key, Clock::monotonic() - 2100ms);
        probe().apply({polled});
        c.check(published(u"G1"_s), false);
    }
}

TEST_F(HouseholdMerge, ARoomStampHoldsOnlyWithinTheSameGroup) {
    Household& h = make();
    probe().apply({group(u"G1"_s, {room(u"A"_s, u"a"_s, 10)})});
    probe().recentlyChanged().insert({ChangedValue::roomVolume, u"A"_s}, Clock::monotonic());
    probe().recentlyChanged().insert({ChangedValue::state, u"G1"_s}, Clock::monotonic());
    probe().apply({group(u"G2"_s, {room(u"A"_s, u"a"_s, 60)}, u"PLAYING"_s)});
    ASSERT_EQ(h.groups().size(), 1);
    EXPECT_EQ(h.groups()[0].rooms[0].volume, 60);
    EXPECT_EQ(h.groups()[0].state, u"PLAYING"_s);
}

TEST_F(HouseholdMerge, ActiveGroupRules) {
    Household& h = make();
    const auto big = group(u"G1"_s, {room(u"A"_s, u"a"_s), room(u"B"_s, u"b"_s)});
    const auto small = group(u"G2"_s, {room(u"C"_s, u"c"_s)});
    probe().apply({big, small});
    EXPECT_EQ(h.activeCoordinator(), u"A"_s); // nothing plays: the most rooms
    EXPECT_FALSE(h.pickedByUser());

    // Without a pick, the playing group takes over when the active one does not play.
    probe().apply({big, group(u"G2"_s, {room(u"C"_s, u"c"_s)}, u"PLAYING"_s)});
    EXPECT_EQ(h.activeCoordinator(), u"C"_s);

    // The user's pick of a stopped group survives merges while another group plays.
    h.selectGroup(h.groups()[0]);
    probe().apply({big, group(u"G2"_s, {room(u"C"_s, u"c"_s)}, u"PLAYING"_s)});
    EXPECT_EQ(h.activeCoordinator(), u"A"_s);
    EXPECT_TRUE(h.pickedByUser());

    // The active coordinator joins another group: the active group follows it.
    SpeakerGroup joined = group(u"G2"_s, {room(u"C"_s, u"c"_s), room(u"A"_s, u"a"_s)}, u"PLAYING"_s);
    probe().apply({joined, group(u"G3"_s, {room(u"B"_s, u"b"_s)})});
    EXPECT_EQ(h.activeCoordinator(), u"C"_s);
    EXPECT_TRUE(h.pickedByUser());

    probe().apply({});
    EXPECT_FALSE(h.activeCoordinator());
}

TEST_F(HouseholdMerge, SelectGroupByOffsetWrapsAround) {
    Household& h = make();
    probe().apply({group(u"G1"_s, {room(u"A"_s, u"a"_s)})});
    h.selectGroup(1);
    EXPECT_FALSE(h.pickedByUser()); // one group: nothing to step to
    probe().apply({group(u"G1"_s, {room(u"A"_s, u"a"_s)}), group(u"G2"_s, {room(u"B"_s, u"b"_s)}),
                   group(u"G3"_s, {room(u"C"_s, u"c"_s)})});
    probe().setActive(u"A"_s);
    h.selectGroup(-1);
    EXPECT_EQ(h.activeCoordinator(), u"C"_s);
    EXPECT_TRUE(h.pickedByUser());
    h.selectGroup(1);
    EXPECT_EQ(h.activeCoordinator(), u"A"_s);
    h.selectGroup(1);
    EXPECT_EQ(h.activeCoordinator(), u"B"_s);
}

TEST_F(HouseholdMerge, ReloadPollsOnceAfterTheLastRequestAndDropsStaleResults) {
    Household& h = make();
    SpeakerGroup g = group(u"G1"_s, {room(u"A"_s, u"a"_s)});
    g.title = u"old"_s;
    g.artURL = QUrl(u"http://x/art"_s);
    probe().apply({g});
    pollAnswer = [](SpeakerGroup polledGroup) {
        EXPECT_TRUE(polledGroup.title.isEmpty()); // the old track is not carried over
        EXPECT_FALSE(polledGroup.artURL);
        polledGroup.volume = 42;
        return polledGroup;
    };
    probe().reload(u"A"_s);
    Clock::advance(100ms);
    probe().reload(u"A"_s);
    Clock::advance(299ms);
    EXPECT_TRUE(polled.isEmpty());
    Clock::advance(1ms);
    EXPECT_EQ(polled, QStringList{u"G1"_s});
    EXPECT_EQ(h.groups()[0].volume, 42);
    EXPECT_TRUE(h.groups()[0].title.isEmpty());

    // A membership change in flight: the poll's result is dropped.
    pollAnswer = [](SpeakerGroup polledGroup) {
        polledGroup.volume = 7;
        return polledGroup;
    };
    probe().schedule().membershipBegan();
    probe().reload(u"A"_s);
    Clock::advance(300ms);
    EXPECT_EQ(polled.size(), 2);
    EXPECT_EQ(h.groups()[0].volume, 42);

    // A reload for a coordinator that has no group does not poll.
    probe().schedule().membershipEnded();
    probe().reload(u"nobody"_s);
    Clock::advance(300ms);
    EXPECT_EQ(polled.size(), 2);
}

} // namespace
