// URL commands: reading the raw text, the volume and preset arguments, and the playback
// commands against simulated speakers.
#include "app/UrlCommands.h"
#include "household/SimulatedHousehold.h"

using namespace simulated;
using namespace Qt::StringLiterals;

namespace {

TEST(UrlCommandParse, ReadsSchemeAndCommandFromTheRawText) {
    using C = UrlCommands::Command;
    const struct {
        QString url;
        std::optional<C> expected;
    } cases[] = {
        {u"tamber://open"_s, C{u"open"_s, {}}},
        {u"tamber://pause/"_s, C{u"pause"_s, {}}},
        {u"tamber://volume/up"_s, C{u"volume"_s, u"up"_s}},
        {u"tamber://volume/35/more/parts"_s, C{u"volume"_s, u"35"_s}},
        {u"tamber://volume/%2B5"_s, C{u"volume"_s, u"+5"_s}},
        {u"tamber://preset/Wohnzimmer%20%2B%201"_s, C{u"preset"_s, u"Wohnzimmer + 1"_s}},
        {u"tamber://preset/K%C3%BCche?x=1#y"_s, C{u"preset"_s, u"Küche"_s}},
        {u"tamber://volume?x=up"_s, C{u"volume"_s, {}}},
        // The command keeps its letter case; only the exact word runs.
        {u"tamber://PLAY"_s, C{u"PLAY"_s, {}}},
        {u"tamber://user@next:99/x"_s, C{u"next"_s, u"x"_s}},
        {u"tamber:pause"_s, C{{}, u"pause"_s}},
        {u"tamber://"_s, C{{}, {}}},
        // Not ours: another scheme, or ours in other letters.
        {u"TAMBER://open"_s, std::nullopt},
        {u"Tamber://open"_s, std::nullopt},
        {u"http://open"_s, std::nullopt},
        {u"tamberx://open"_s, std::nullopt},
        {u"tamber"_s, std::nullopt},
        {u"/tmp/tamber://open"_s, std::nullopt},
        {QString(), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UrlCommands::parse(c.url), c.expected) << c.url.toStdString();
}

TEST(UrlCommandVolume, StepsOrSetsWithinTheRange) {
    const struct {
        const char* argument;
        int current;
        std::optional<int> expected;
    } cases[] = {
        {"up", 98, 100}, {"up", 100, 100}, {"down", 2, 0},   {"down", 50, 46},
        {"35", 80, 35},  {"+5", 80, 5},    {"-3", 80, 0},    {"150", 10, 100},
        {"0", 10, 0},    {"Up", 10, {}},   {"loud", 10, {}}, {"", 10, {}},
        {" 5", 10, {}},  {"5.0", 10, {}},  {"0x10", 10, {}}, {"99999999999999999999", 10, {}},
        {"٣", 10, {}},   {"++5", 10, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UrlCommands::volume(QString::fromUtf8(c.argument), c.current), c.expected) << c.argument;
}

Room room(const QString& id, const QString& name) {
    return Room{.id = id, .name = name, .host = u"127.0.0.1"_s};
}
SpeakerGroup soloGroup(const Room& r) {
    return SpeakerGroup{.id = r.id + u":1"_s, .coordinatorID = r.id, .rooms = {r}};
}

TEST(UrlCommandPreset, PicksByPositionThenByNameInAnyCase) {
    TempSettings settings;
    Household household(*settings);
    const QList<SpeakerGroup> groups = {soloGroup(room(u"A"_s, u"Küche"_s)), soloGroup(room(u"B"_s, u"2"_s)),
                                        soloGroup(room(u"C"_s, u"0"_s))};
    HouseholdProbe{household}.setGroups(groups);
    for (const SpeakerGroup& group : groups)
        household.savePreset(group);
    ASSERT_EQ(household.presets().size(), 3);
    const auto roomsOf = [&](const QString& argument) {
        const auto found = UrlCommands::preset(argument, household);
        return found ? found->roomIDs : QStringList{u"none"_s};
    };
    EXPECT_EQ(roomsOf(u"1"_s), QStringList{u"A"_s});
    EXPECT_EQ(roomsOf(u"3"_s), QStringList{u"C"_s});
    EXPECT_EQ(roomsOf(u"+2"_s), QStringList{u"B"_s});
    EXPECT_EQ(roomsOf(u"KÜCHE"_s), QStringList{u"A"_s});
    // 0 and numbers beyond the count are names.
    EXPECT_EQ(roomsOf(u"0"_s), QStringList{u"C"_s});
    EXPECT_EQ(roomsOf(u"4"_s), QStringList{u"none"_s});
    EXPECT_EQ(roomsOf(u"Bad"_s), QStringList{u"none"_s});

    // With one preset, "2" is looked up by name.
    household.deletePreset(household.presets().at(2));
    household.deletePreset(household.presets().at(0));
    ASSERT_EQ(household.presets().size(), 1);
    EXPECT_EQ(roomsOf(u"2"_s), QStringList{u"B"_s});
}

class UrlCommandRun : public SimulatedHousehold {
protected:
    // Speakers 1 and 2 in one group led by 1, in `state`; 3 alone. The first group is active.
    Household& startIn(const QString& state) {
        if (household) {
            settle();
            household.reset();
            simulator.reset();
        }
        auto fake = simulated::household({u"Wohnzimmer"_s, u"Küche"_s, u"Bad"_s}, {{1, 2}, {3}});
        fake.speakers[0].transport.state = state;
        Household& h = start(fake);
        HouseholdProbe{h}.setActive(uuid(1));
        return h;
    }
    QStringList sent() const {
        QStringList actions;
        for (const auto& [action, args] : commands(*simulator, host(1)))
            actions.append(action);
        return actions;
    }
    void runCommand(const QString& command, const QString& argument = {}) {
        test::run(UrlCommands::run(household.get(), command, argument));
    }
};

TEST_F(UrlCommandRun, PlayAndPauseSendOnlyWhenTheStateMustChange) {
    const struct {
        const char* state;
        const char* command;
        QStringList expected;
    } cases[] = {
        {"PLAYING", "play", {}},
        {"PLAYING", "pause", {u"Pause"_s}},
        {"TRANSITIONING", "pause", {u"Pause"_s}},
        {"PAUSED_PLAYBACK", "pause", {}},
        {"PAUSED_PLAYBACK", "play", {u"Play"_s}},
        {"STOPPED", "play", {u"Play"_s}},
        {"PLAYING", "toggle", {u"Pause"_s}},
        {"STOPPED", "toggle", {u"Play"_s}},
        {"PLAYING", "Pause", {}},
        {"PLAYING", "", {}},
        {"PLAYING", "rewind", {}},
    };
    for (const auto& c : cases) {
        startIn(QString::fromLatin1(c.state));
        runCommand(QString::fromLatin1(c.command));
        EXPECT_EQ(sent(), c.expected) << c.state << " " << c.command;
    }
}

TEST_F(UrlCommandRun, VolumeAndMuteChangeTheActiveGroupAtOnce) {
    Household& h = startIn(u"PLAYING"_s);
    runCommand(u"volume"_s, u"35"_s);
    EXPECT_EQ(h.activeGroup()->volume, 35);
    runCommand(u"volume"_s, u"up"_s);
    EXPECT_EQ(h.activeGroup()->volume, 39);
    runCommand(u"volume"_s, u"loud"_s);
    runCommand(u"volume"_s);
    EXPECT_EQ(h.activeGroup()->volume, 39);
    const bool muted = h.activeGroup()->muted;
    runCommand(u"mute"_s);
    EXPECT_EQ(h.activeGroup()->muted, !muted);
}

TEST_F(UrlCommandRun, AHouseholdThatReachesNoSpeakerDropsTheCommandAfterOneRefresh) {
    startIn(u"PLAYING"_s);
    TempSettings other;
    other->setTextList(HouseholdKeys::knownHosts, {host(9)}); // nothing listens there
    Household lonely(*other);
    QPointer<Household> pointer(&lonely);
    test::run(UrlCommands::run(pointer, u"pause"_s, {}));
    EXPECT_FALSE(lonely.live());
    EXPECT_TRUE(simulator->requests().isEmpty());
}

} // namespace
