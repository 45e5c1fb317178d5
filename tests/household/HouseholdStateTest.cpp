#include "core/Texts.h"
#include "household/HouseholdFixture.h"
#include "household/HouseholdKeys.h"
#include "support/Await.h"

using namespace Qt::StringLiterals;
namespace Keys = HouseholdKeys;

namespace {

class HouseholdState : public HouseholdFixture {};

QByteArray storedGroups(const QList<SpeakerGroup>& groups) {
    return *SpeakerGroup::encodeList(groups);
}

TEST_F(HouseholdState, FirstStartWithNoKeysIsEmptyAndStartsNothing) {
    Household& h = make();
    EXPECT_TRUE(h.groups().isEmpty());
    EXPECT_TRUE(h.presets().isEmpty());
    EXPECT_TRUE(h.hosts().isEmpty());
    EXPECT_FALSE(h.networkStarted());
    EXPECT_FALSE(h.activeGroup());
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_FALSE(h.error());
}

TEST_F(HouseholdState, RestoresStoredGroupsAsStoppedMeasuredNow) {
    SpeakerGroup playing = group(u"G1"_s, {room(u"A"_s, u"Bad"_s, 30)}, u"PLAYING"_s);
    playing.position = 42;
    playing.positionAt = Clock::now().addSecs(-3600);
    playing.title = u"Song"_s;
    SpeakerGroup paused = group(u"G2"_s, {room(u"B"_s, u"Flur"_s)}, u"PAUSED_PLAYBACK"_s);
    settings->setData(Keys::lastGroups, storedGroups({playing, paused}));
    Clock::advance(1s);

    Household& h = make();
    ASSERT_EQ(h.groups().size(), 2);
    for (const SpeakerGroup& g : h.groups()) {
        EXPECT_EQ(g.state, u"STOPPED"_s);
        EXPECT_EQ(g.positionAt, Clock::now());
    }
    EXPECT_EQ(h.groups()[0].position, 42);
    EXPECT_EQ(h.groups()[0].title, u"Song"_s);
    EXPECT_EQ(h.groups()[0].rooms[0].volume, 30);
    EXPECT_EQ(h.activeGroup()->id, u"G1"_s); // no stored active group: the first one
}

// Stored values of the wrong form fall back to empty, and no other key is lost.
TEST_F(HouseholdState, UnreadableStoredValuesFallBackWithoutLosingOthers) {
    QByteArray groupWithoutCanSkip = storedGroups({group(u"G1"_s, {room(u"A"_s, u"Bad"_s)})});
    groupWithoutCanSkip.replace("\"canSkip\":true,", "");
    ASSERT_FALSE(groupWithoutCanSkip.contains("canSkip"));
    const QList<QPair<const char*, std::function<void(SettingsStore&)>>> cases = {
        {"corrupt JSON",
         [](SettingsStore& s) {
             s.setData(Keys::lastGroups, "[{\"id\":");
             s.setData(Keys::roomPresets, "not json");
         }},
        {"another type",
         [](SettingsStore& s) {
             s.setText(Keys::lastGroups, u"[]"_s);
             s.setTextList(Keys::roomPresets, {u"x"_s});
         }},
        {"missing required key",
         [&](SettingsStore& s) {
             s.setData(Keys::lastGroups, groupWithoutCanSkip);
             s.setData(Keys::roomPresets, "[{\"id\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\"}]");
         }},
        {"a future form",
         [](SettingsStore& s) {
             s.setData(Keys::lastGroups, "{\"version\":2,\"groups\":[]}");
             s.setData(Keys::roomPresets, "{\"version\":2}");
         }},
    };
    for (const auto& [name, write] : cases) {
        SCOPED_TRACE(name);
        household.reset();
        settings.reopen();
        settings->setTextList(Keys::knownHosts, {u"h1"_s});
        settings->setTextMap(Keys::groupNames, {{u"A,B"_s, u"Unten"_s}});
        settings->setTextList(Keys::roomOrder, {u"B"_s, u"A"_s});
        write(*settings);
        Household& h = make();
        EXPECT_TRUE(h.groups().isEmpty());
        EXPECT_TRUE(h.presets().isEmpty());
        EXPECT_EQ(h.hosts(), QStringList{u"h1"_s});
        EXPECT_EQ(h.groupNames().value(u"A,B"_s), u"Unten"_s);
        EXPECT_EQ(h.roomOrder(), (QStringList{u"B"_s, u"A"_s}));
    }
}

TEST_F(HouseholdState, RestoresPresetsAndDropsTextMapsWithANonTextValue) {
    const RoomPreset preset{.roomIDs = {u"B"_s, u"A"_s}};
    settings->setData(Keys::roomPresets, RoomPreset::encodeList({preset}));
    settings->setTextMap(Keys::roomModels, {{u"A"_s, u"Sonos One"_s}});
    // A dictionary holding a number is dropped whole.
    settings->setTextMap(Keys::groupNames, {{u"A,B"_s, u"Unten"_s}});
    settings->flush();
    QFile file(settings->path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray json = file.readAll();
    file.close();
    json.replace("\"Unten\"", "\"Unten\",\"C,D\":7");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(json);
    file.close();
    settings.reopen();

    Household& h = make();
    EXPECT_EQ(h.presets(), QList<RoomPreset>{preset});
    EXPECT_EQ(h.models().value(u"A"_s), u"Sonos One"_s);
    EXPECT_TRUE(h.groupNames().isEmpty());
}

TEST_F(HouseholdState, OnboardedHouseholdStartsItsNetworkOnceAtCreation) {
    settings->setBool(Keys::onboarded, true);
    settings->setTextList(Keys::knownHosts, {u"h1"_s});
    topology = {group(u"G1"_s, {room(u"A"_s, u"Bad"_s)})};
    Household& h = make();
    EXPECT_TRUE(h.networkStarted());
    EXPECT_EQ(asked, QStringList{u"h1"_s});
    h.startNetwork();
    h.startNetwork();
    EXPECT_EQ(asked, QStringList{u"h1"_s});
    EXPECT_TRUE(h.live());
    EXPECT_EQ(h.groups().size(), 1);
}

TEST_F(HouseholdState, DiscoveredHostsReachTheHousehold) {
    settings->setBool(Keys::onboarded, true);
    Household& h = make();
    ASSERT_TRUE(browse);
    topology = {group(u"G1"_s, {room(u"A"_s, u"Bad"_s)})};
    browse({announced(u"10.0.0.7"_s), announced(u"10.0.0.8"_s)});
    ASSERT_TRUE(test::waitUntil([&] { return h.hosts().size() == 2; }));
    EXPECT_EQ(h.hosts(), (QStringList{u"10.0.0.8"_s, u"10.0.0.7"_s}));
    EXPECT_EQ(asked, QStringList{u"10.0.0.7"_s}); // the second host came while live with groups
    EXPECT_EQ(h.groups().size(), 1);
}

TEST_F(HouseholdState, FoundHostsAreStoredNewestFirstAndRefreshOnlyWhileNotLiveWithGroups) {
    Household& h = make();
    topology = {group(u"G1"_s, {room(u"A"_s, u"Bad"_s)})};
    probe().found(u"h1"_s);
    EXPECT_EQ(asked, QStringList{u"h1"_s}); // nothing shown yet: refresh
    ASSERT_TRUE(h.live());
    probe().found(u"h1"_s); // known: nothing at all
    probe().found(u"h2"_s); // live with groups: stored, no refresh
    EXPECT_EQ(asked, QStringList{u"h1"_s});
    EXPECT_EQ(h.hosts(), (QStringList{u"h2"_s, u"h1"_s}));
    settings->flush();
    EXPECT_EQ(SettingsStore(settings->path()).textList(Keys::knownHosts), (QStringList{u"h2"_s, u"h1"_s}));

    // Live but showing no groups: a new host refreshes again.
    probe().setGroups({});
    probe().found(u"h3"_s);
    EXPECT_EQ(asked.size(), 2) << asked.join(u',').toStdString();
    EXPECT_EQ(asked.last(), u"h3"_s);
}

TEST_F(HouseholdState, ErrorClearsFiveSecondsAfterItsLatestAssignment) {
    Household& h = make();
    QSignalSpy spy(&h, &Household::errorChanged);
    h.setError(u"eins"_s);
    Clock::advance(3s);
    h.setError(u"eins"_s); // the same text restarts the wait
    Clock::advance(4900ms);
    EXPECT_EQ(h.error(), u"eins"_s);
    Clock::advance(100ms);
    EXPECT_FALSE(h.error());
    EXPECT_EQ(spy.count(), 3);

    h.setError(u"zwei"_s);
    h.setError(std::nullopt); // dismissed: the clearing is cancelled
    h.setError(u"drei"_s);
    Clock::advance(4999ms);
    EXPECT_EQ(h.error(), u"drei"_s);
    Clock::advance(1ms);
    EXPECT_FALSE(h.error());
}

TEST_F(HouseholdState, DisplayNames) {
    Household& h = make();
    const SpeakerGroup one = group(u"G1"_s, {room(u"A"_s, u"Bad"_s)});
    SpeakerGroup three =
        group(u"G2"_s, {room(u"B"_s, u"Flur"_s), room(u"C"_s, u"Küche"_s), room(u"D"_s, u"Bad"_s)});
    three.coordinatorID = u"C"_s;
    EXPECT_EQ(h.displayName(one), u"Bad"_s);
    EXPECT_EQ(h.displayName(three), u"Küche + 2"_s);
    settings->setTextMap(Keys::groupNames, {{u"A"_s, u"Ignoriert"_s}, {u"B,C,D"_s, u"Unten"_s}});
    household.reset();
    Household& named = make();
    EXPECT_EQ(named.displayName(one), u"Bad"_s);
    EXPECT_EQ(named.displayName(three), u"Unten"_s);
}

TEST_F(HouseholdState, AccessorsFollowRoomOrderAndActiveCoordinator) {
    settings->setTextList(Keys::roomOrder, {u"C"_s, u"D"_s});
    Household& h = make();
    probe().setGroups({group(u"G1"_s, {room(u"A"_s, u"a"_s), room(u"B"_s, u"b"_s)}),
                       group(u"G2"_s, {room(u"C"_s, u"c"_s), room(u"D"_s, u"d"_s)})});
    QStringList ids;
    for (const Room& r : h.allRooms())
        ids.append(r.id);
    EXPECT_EQ(ids, (QStringList{u"C"_s, u"D"_s, u"A"_s, u"B"_s}));

    probe().setActive(u"nobody"_s);
    EXPECT_EQ(h.activeGroup()->id, u"G1"_s);
    h.selectGroup(h.groups()[1]);
    EXPECT_EQ(h.activeGroup()->id, u"G2"_s);
    EXPECT_TRUE(h.pickedByUser());

    EXPECT_FALSE(h.anyPlaying());
    for (const char* state : {"PLAYING", "TRANSITIONING"}) {
        QList<SpeakerGroup> gs = h.groups();
        gs[0].state = QString::fromLatin1(state);
        probe().setGroups(gs);
        EXPECT_TRUE(h.anyPlaying()) << state;
    }
}

TEST_F(HouseholdState, DemoHouseholdReadsNoKeysAndNeverStarts) {
    settings->setBool(Keys::onboarded, true);
    settings->setTextList(Keys::knownHosts, {u"h1"_s});
    const QList<SpeakerGroup> demo = {group(u"G1"_s, {room(u"B"_s, u"Bad"_s), room(u"A"_s, u"Flur"_s)}),
                                      group(u"G2"_s, {room(u"C"_s, u"Küche"_s)})};
    Household h(*settings, demo, {{u"A"_s, u"Sonos Arc"_s}});
    EXPECT_FALSE(h.networkStarted());
    EXPECT_FALSE(h.live());
    EXPECT_TRUE(h.hosts().isEmpty());
    EXPECT_EQ(h.roomOrder(), (QStringList{u"B"_s, u"A"_s, u"C"_s}));
    EXPECT_EQ(h.activeCoordinator(), u"B"_s);
    EXPECT_EQ(h.models().value(u"A"_s), u"Sonos Arc"_s);
}

} // namespace
