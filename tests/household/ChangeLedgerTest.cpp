#include "household/ChangeLedger.h"
#include "core/Clock.h"
#include "core/Delays.h"
#include "household/PublishedGroups.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

Room room(const QString& id, int volume, bool muted = false) {
    return Room{.id = id, .name = id, .host = u"h-"_s + id, .volume = volume, .muted = muted};
}

// What the household shows, and what a later poll read of the same group.
SpeakerGroup shown() {
    SpeakerGroup g{
        .id = u"G"_s, .coordinatorID = u"A"_s, .rooms = {room(u"A"_s, 10, true), room(u"B"_s, 20)}};
    g.state = u"PLAYING"_s;
    g.volume = 15;
    g.muted = true;
    g.position = 40;
    g.nightMode = true;
    g.speechBoost = false;
    g.sleepRemaining = 300;
    g.title = u"shown"_s;
    return g;
}

SpeakerGroup read() {
    SpeakerGroup g{
        .id = u"G"_s, .coordinatorID = u"A"_s, .rooms = {room(u"A"_s, 70), room(u"B"_s, 80, true)}};
    g.state = u"STOPPED"_s;
    g.volume = 75;
    g.position = 1;
    g.nightMode = false;
    g.speechBoost = true;
    g.title = u"read"_s;
    return g;
}

class ChangeLedgerTest : public ::testing::Test {
protected:
    void SetUp() override { Clock::useManual(); }
    void TearDown() override { Clock::useReal(); }
    static Clock::Instant cutoff() { return Clock::monotonic() - Delays::recentChange; }
    ChangeLedger ledger;
};

// Each key holds exactly its own fields; everything else comes from the read.
TEST_F(ChangeLedgerTest, AStampHoldsOnlyItsOwnFields) {
    struct Case {
        ChangeKey key;
        std::function<void(const SpeakerGroup&)> held;
    };
    const QList<Case> cases = {
        {{ChangedValue::state, u"G"_s}, [](const SpeakerGroup& g) { EXPECT_EQ(g.state, u"PLAYING"_s); }},
        {{ChangedValue::volume, u"G"_s}, [](const SpeakerGroup& g) { EXPECT_EQ(g.volume, 15); }},
        {{ChangedValue::mute, u"G"_s}, [](const SpeakerGroup& g) { EXPECT_TRUE(g.muted); }},
        {{ChangedValue::position, u"G"_s}, [](const SpeakerGroup& g) { EXPECT_EQ(g.position, 40); }},
        {{ChangedValue::tvSound, u"G"_s},
         [](const SpeakerGroup& g) {
             EXPECT_EQ(g.nightMode, true);
             EXPECT_EQ(g.speechBoost, false);
         }},
        {{ChangedValue::sleepTimer, u"G"_s}, [](const SpeakerGroup& g) { EXPECT_EQ(g.sleepRemaining, 300); }},
        {{ChangedValue::roomVolume, u"B"_s}, [](const SpeakerGroup& g) { EXPECT_EQ(g.rooms[1].volume, 20); }},
        {{ChangedValue::roomMute, u"A"_s}, [](const SpeakerGroup& g) { EXPECT_TRUE(g.rooms[0].muted); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.key.value));
        ChangeLedger one;
        one.stamp(c.key);
        const SpeakerGroup merged = one.merged(read(), shown(), cutoff(), std::nullopt);
        c.held(merged);
        // Everything the key does not cover is the read's, the track above all.
        EXPECT_EQ(merged.title, u"read"_s);
        int differing = 0;
        differing += merged.state != read().state;
        differing += merged.volume != read().volume;
        differing += merged.muted != read().muted;
        differing += merged.position != read().position;
        differing += merged.nightMode != read().nightMode;
        differing += merged.sleepRemaining != read().sleepRemaining;
        differing += merged.rooms[0].muted != read().rooms[0].muted;
        differing += merged.rooms[1].volume != read().rooms[1].volume;
        EXPECT_EQ(differing, 1) << "one key held more or less than its own value";
    }
}

TEST_F(ChangeLedgerTest, AStampHoldsForTwoSecondsOnly) {
    const ChangeKey key{ChangedValue::volume, u"G"_s};
    ledger.stamp(key);
    Clock::advance(Delays::recentChange - 1ms);
    EXPECT_TRUE(ledger.recent(key, cutoff()));
    EXPECT_EQ(ledger.merged(read(), shown(), cutoff(), std::nullopt).volume, 15);
    Clock::advance(1ms);
    EXPECT_FALSE(ledger.recent(key, cutoff()));
    EXPECT_EQ(ledger.merged(read(), shown(), cutoff(), std::nullopt).volume, 75);
}

// A poll that began before a change (local or by an event) never puts its older reading back,
// however long it took; one that began after the change brings its value.
TEST_F(ChangeLedgerTest, AChangeAfterThePollBeganHoldsWhateverTheTime) {
    const quint64 before = ledger.changes();
    ledger.count({ChangedValue::state, u"G"_s}); // from an event: no stamp
    const quint64 after = ledger.changes();
    Clock::advance(10s);
    EXPECT_EQ(ledger.merged(read(), shown(), cutoff(), before).state, u"PLAYING"_s);
    EXPECT_EQ(ledger.merged(read(), shown(), cutoff(), after).state, u"STOPPED"_s);
    // A merge that is no poll's result holds only the recent stamps.
    EXPECT_EQ(ledger.merged(read(), shown(), cutoff(), std::nullopt).state, u"STOPPED"_s);
    // Another group's change holds nothing here.
    ledger.count({ChangedValue::volume, u"other"_s});
    EXPECT_EQ(ledger.merged(read(), shown(), cutoff(), after).volume, 75);
}

TEST_F(ChangeLedgerTest, ARoomNotShownBeforeIsTakenAsRead) {
    ledger.stamp({ChangedValue::roomVolume, u"C"_s});
    SpeakerGroup fresh = read();
    fresh.rooms.append(room(u"C"_s, 33));
    EXPECT_EQ(ledger.merged(fresh, shown(), cutoff(), std::nullopt).rooms[2].volume, 33);
}

class PublishedGroupsTest : public ChangeLedgerTest {};

TEST_F(PublishedGroupsTest, MergeTakesHeldValuesFromTheFirstGroupOfTheSameIdOnly) {
    PublishedGroups groups;
    SpeakerGroup duplicate = shown();
    duplicate.volume = 99;
    SpeakerGroup other = shown();
    other.id = u"H"_s;
    other.volume = 1;
    groups.replace({shown(), duplicate, other});
    ledger.stamp({ChangedValue::volume, u"G"_s});
    SpeakerGroup unknown = read();
    unknown.id = u"new"_s;
    const QList<SpeakerGroup> merged = groups.merged({read(), unknown}, ledger, cutoff(), std::nullopt);
    ASSERT_EQ(merged.size(), 2);
    EXPECT_EQ(merged[0].volume, 15);
    EXPECT_EQ(merged[1], unknown);
}

// A group about to be polled starts from what is shown, so a failed read keeps the last
// value, but never from the last track, and its rooms are the topology's.
TEST_F(PublishedGroupsTest, SeededKeepsShownValuesButNotTheTrack) {
    PublishedGroups groups;
    SpeakerGroup before = shown();
    before.artURL = QUrl(u"http://h/art.jpg"_s);
    groups.replace({before});
    const SpeakerGroup fresh{
        .id = u"G"_s, .coordinatorID = u"B"_s, .rooms = {room(u"B"_s, 0), room(u"C"_s, 0)}};
    const SpeakerGroup seeded = groups.seeded(fresh);
    EXPECT_EQ(seeded.volume, 15);
    EXPECT_EQ(seeded.state, u"PLAYING"_s);
    EXPECT_TRUE(seeded.title.isEmpty());
    EXPECT_FALSE(seeded.artURL);
    EXPECT_EQ(seeded.coordinatorID, u"B"_s);
    ASSERT_EQ(seeded.rooms.size(), 2);
    EXPECT_EQ(seeded.rooms[0].volume, 20); // B as shown
    EXPECT_EQ(seeded.rooms[1].volume, 0);  // C is new
    EXPECT_EQ(groups.seeded(SpeakerGroup{.id = u"X"_s, .coordinatorID = u"B"_s, .rooms = {}}).id, u"X"_s);
}

TEST_F(PublishedGroupsTest, LookupsFindTheFirstMatchAndNothingElse) {
    PublishedGroups groups;
    SpeakerGroup second = shown();
    second.id = u"G2"_s;
    second.coordinatorID = u"B"_s; // B also in the first group
    groups.replace({shown(), second});
    EXPECT_EQ(groups.indexLedBy(u"B"_s), 1);
    EXPECT_EQ(groups.indexLedBy(u"Z"_s), -1);
    EXPECT_EQ(groups.roomIndex(u"B"_s), (std::pair<qsizetype, qsizetype>{0, 1}));
    EXPECT_FALSE(groups.roomIndex(u"Z"_s));
    EXPECT_FALSE(groups.with(u"Z"_s, [](SpeakerGroup&) { ADD_FAILURE(); }));
    const auto changed = groups.with(u"G2"_s, [](SpeakerGroup& g) { g.volume = 1; });
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->at(1).volume, 1);
    EXPECT_EQ(groups.list().at(1).volume, 15); // the published list is left alone
}

TEST_F(PublishedGroupsTest, AMovedRoomJoinsItsTargetOrStandsAlone) {
    PublishedGroups groups;
    const SpeakerGroup pair{
        .id = u"P"_s, .coordinatorID = u"A"_s, .rooms = {room(u"A"_s, 1), room(u"C"_s, 3)}};
    const SpeakerGroup single{.id = u"S"_s, .coordinatorID = u"B"_s, .rooms = {room(u"B"_s, 2)}};
    groups.replace({pair, single});
    const RoomOrder order({u"A"_s, u"B"_s, u"C"_s});
    const auto roomIDs = [](const SpeakerGroup& g) {
        QStringList ids;
        for (const Room& r : g.rooms)
            ids.append(r.id);
        return ids;
    };

    // The only room of a group moves: that group goes, the target holds it in room order.
    const auto joined = groups.withRoomMoved(u"B"_s, u"P"_s, order);
    ASSERT_TRUE(joined);
    ASSERT_EQ(joined->size(), 1);
    EXPECT_EQ(roomIDs(joined->first()), (QStringList{u"A"_s, u"B"_s, u"C"_s}));

    // Leaving, or a target no longer shown: a group of its own, known only here.
    for (const std::optional<QString>& target :
         {std::optional<QString>(), std::optional<QString>(u"gone"_s)}) {
        const auto alone = groups.withRoomMoved(u"C"_s, target, order);
        ASSERT_TRUE(alone);
        ASSERT_EQ(alone->size(), 3);
        EXPECT_EQ(roomIDs(alone->at(0)), QStringList{u"A"_s});
        EXPECT_EQ(alone->at(2).id, u"solo-C"_s);
        EXPECT_EQ(alone->at(2).coordinatorID, u"C"_s);
        EXPECT_EQ(alone->at(2).rooms.first().volume, 3);
    }
    EXPECT_FALSE(groups.withRoomMoved(u"nowhere"_s, u"P"_s, order));
    EXPECT_EQ(groups.list().size(), 2); // the published list is left alone
}

} // namespace
