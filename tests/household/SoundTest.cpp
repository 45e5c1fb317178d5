// A room's bass, treble and loudness and a group's TV sound against simulated speakers.
#include "household/SpeakerOpsFixture.h"

#include <QSignalSpy>

using namespace ops;

namespace {

class Sound : public SpeakerOps {
protected:
    std::optional<Household::RoomSound> load(int n) { return test::run(h().loadSound(room(n))); }
    // Sets the text speaker n gives for `field` in its reply to `action`; nothing leaves it out.
    void reply(int n, const QString& action, const QString& field, std::optional<QString> text) {
        simulator->update([&](sim::FakeHousehold& fake) {
            fake.speakerByHost(host(n))->replyText[action][field] = std::move(text);
        });
    }
    // The TV group (Bad) as published: the poll found its TV speaker.
    SpeakerGroup tvGroup() {
        SpeakerGroup g = group(3);
        EXPECT_EQ(g.tvHost, host(3));
        return g;
    }
};

TEST_F(Sound, LoadSoundReadsBassTrebleAndLoudnessInTurn) {
    simulator->update([](sim::FakeHousehold& fake) {
        fake.speakers[1].room.bass = -4;
        fake.speakers[1].room.treble = 7;
        fake.speakers[1].room.loudness = true;
    });
    EXPECT_EQ(load(2), (Household::RoomSound{.bass = -4, .treble = 7, .loudness = true}));
    EXPECT_EQ(actions(2), (QStringList{u"GetBass"_s, u"GetTreble"_s, u"GetLoudness"_s}));
    EXPECT_EQ(argsSent(2, u"GetBass"_s), (QList<Args>{{{u"InstanceID"_s, u"0"_s}}}));
    EXPECT_EQ(argsSent(2, u"GetTreble"_s), (QList<Args>{{{u"InstanceID"_s, u"0"_s}}}));
    EXPECT_EQ(argsSent(2, u"GetLoudness"_s),
              (QList<Args>{{{u"InstanceID"_s, u"0"_s}, {u"Channel"_s, u"Master"_s}}}));
}

// Levels are strict decimal integers with one optional sign; anything else reads as 0.
TEST_F(Sound, LevelsAndLoudnessAreReadStrictly) {
    const struct {
        std::optional<QString> text;
        int level;
    } levels[] = {
        {u"+5"_s, 5},
        {u"-10"_s, -10},
        {u"0"_s, 0},
        {u"10"_s, 10},
        {std::nullopt, 0},
        {u""_s, 0},
        {u" 5"_s, 0},
        {u"5 "_s, 0},
        {u"5dB"_s, 0},
        {u"+-5"_s, 0},
        {u"+"_s, 0},
        {u"-"_s, 0},
        {u"1e1"_s, 0},
        {u"0x5"_s, 0},
        {u"٥"_s, 0},
        {u"007"_s, 7},
        {u"99999999999999999999"_s, 0},
        {u"-2147483648"_s, -2147483648},
    };
    for (const auto& c : levels) {
        SCOPED_TRACE(c.text.value_or(u"(missing)"_s).toStdString());
        reply(2, u"GetBass"_s, u"CurrentBass"_s, c.text);
        reply(2, u"GetTreble"_s, u"CurrentTreble"_s, c.text);
        const auto sound = load(2);
        ASSERT_TRUE(sound);
        EXPECT_EQ(sound->bass, c.level);
        EXPECT_EQ(sound->treble, c.level);
    }
    const struct {
        std::optional<QString> text;
        bool on;
    } loudness[] = {
        {u"1"_s, true}, {u"0"_s, false}, {u"true"_s, false}, {u" 1"_s, false}, {std::nullopt, false}};
    for (const auto& c : loudness) {
        SCOPED_TRACE(c.text.value_or(u"(missing)"_s).toStdString());
        reply(2, u"GetLoudness"_s, u"CurrentLoudness"_s, c.text);
        const auto sound = load(2);
        ASSERT_TRUE(sound);
        EXPECT_EQ(sound->loudness, c.on);
    }
}

// Any failed read gives nothing, stops the reads and reports nothing.
TEST_F(Sound, AFailedReadGivesNothingAndStopsTheReads) {
    const struct {
        const char* name;
        QString failing;
        QStringList asked;
    } cases[] = {
        {"bass", u"GetBass"_s, {u"GetBass"_s}},
        {"treble", u"GetTreble"_s, {u"GetBass"_s, u"GetTreble"_s}},
        {"loudness", u"GetLoudness"_s, {u"GetBass"_s, u"GetTreble"_s, u"GetLoudness"_s}},
    };
    h().setError(u"kept"_s);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        simulator->clearRequests();
        simulator->setFault(host(2), c.failing, sim::Fault::upnp(u"501"_s).once());
        EXPECT_FALSE(load(2));
        EXPECT_EQ(actions(2), c.asked);
    }
    simulator->setOffline(host(2), true);
    EXPECT_FALSE(load(2));
    EXPECT_EQ(h().error(), u"kept"_s);
}

TEST_F(Sound, BassAndTrebleGoThroughTheirOwnSendersAndChangeNothingLocally) {
    simulator->setFault(host(2), u"SetBass"_s, sim::Fault::delayed(400ms));
    simulator->setFault(host(2), u"SetTreble"_s, sim::Fault::delayed(400ms));
    QSignalSpy groupsChanged(&h(), &Household::groupsChanged);
    const auto stamps = probe().recentlyChanged();
    h().setError(u"kept"_s);
    h().setBass(room(2), -1);
    h().setTreble(room(2), 2);
    // Both keys have their own request under way at once.
    ASSERT_TRUE(waitForRequests(2, u"SetBass"_s, 1));
    ASSERT_TRUE(waitForRequests(2, u"SetTreble"_s, 1));
    h().setBass(room(2), 3);
    h().setBass(room(2), 5);
    h().setTreble(room(2), -6);
    ASSERT_TRUE(test::waitUntil([&] { return sendersIdle(); }));

    EXPECT_EQ(argsSent(2, u"SetBass"_s),
              (QList<Args>{{{u"InstanceID"_s, u"0"_s}, {u"DesiredBass"_s, u"-1"_s}},
                           {{u"InstanceID"_s, u"0"_s}, {u"DesiredBass"_s, u"5"_s}}}));
    EXPECT_EQ(argsSent(2, u"SetTreble"_s),
              (QList<Args>{{{u"InstanceID"_s, u"0"_s}, {u"DesiredTreble"_s, u"2"_s}},
                           {{u"InstanceID"_s, u"0"_s}, {u"DesiredTreble"_s, u"-6"_s}}}));
    EXPECT_EQ(simulator->speaker(host(2)).room.bass, 5);
    EXPECT_EQ(simulator->speaker(host(2)).room.treble, -6);
    EXPECT_EQ(groupsChanged.count(), 0);
    EXPECT_EQ(probe().recentlyChanged(), stamps);
    EXPECT_EQ(h().error(), u"kept"_s); // a success leaves the text
    EXPECT_TRUE(probe().volumeSenders().contains({SentValue::bass, uuid(2)}));
    EXPECT_TRUE(probe().volumeSenders().contains({SentValue::treble, uuid(2)}));
}

TEST_F(Sound, AFailedLevelShowsItsTextAndLaterSuccessesKeepIt) {
    h().setBass(room(2), 11); // beyond the speaker's range: refused
    ASSERT_TRUE(waitForError(u"SetBass failed (UPnP 402)"_s));
    h().setTreble(room(2), 1);
    ASSERT_TRUE(test::waitUntil([&] { return simulator->speaker(host(2)).room.treble == 1; }));
    ASSERT_TRUE(test::waitUntil([&] { return sendersIdle(); }));
    EXPECT_EQ(h().error(), u"SetBass failed (UPnP 402)"_s);
}

TEST_F(Sound, LoudnessIsSentAsItComesAndReportsThroughTheErrorText) {
    h().setError(u"earlier"_s);
    QSignalSpy answered(&h(), &Household::errorChanged);
    h().setLoudness(room(2), false);
    h().setLoudness(room(2), true);
    ASSERT_TRUE(test::waitUntil([&] { return answered.count() == 2; }));
    EXPECT_FALSE(h().error());
    EXPECT_EQ(argsSent(2, u"SetLoudness"_s),
              (QList<Args>{
                  {{u"InstanceID"_s, u"0"_s}, {u"Channel"_s, u"Master"_s}, {u"DesiredLoudness"_s, u"0"_s}},
                  {{u"InstanceID"_s, u"0"_s}, {u"Channel"_s, u"Master"_s}, {u"DesiredLoudness"_s, u"1"_s}}}));

    simulator->setOffline(host(2), true);
    h().setLoudness(room(2), false);
    ASSERT_TRUE(
        waitForError(u"Speakers unreachable. Is this computer on the same Wi-Fi, not a guest network?"_s));
}

TEST_F(Sound, TVSoundShowsAtOnceAndSendsNightModeThenSpeech) {
    const struct {
        const char* name;
        std::optional<bool> night;
        std::optional<bool> speech;
        QList<Args> sent;
        std::optional<bool> nightShown;
        std::optional<bool> speechShown;
    } cases[] = {
        {"night on",
         true,
         std::nullopt,
         {{{u"InstanceID"_s, u"0"_s}, {u"EQType"_s, u"NightMode"_s}, {u"DesiredValue"_s, u"1"_s}}},
         true,
         false},
        {"speech on",
         std::nullopt,
         true,
         {{{u"InstanceID"_s, u"0"_s}, {u"EQType"_s, u"DialogLevel"_s}, {u"DesiredValue"_s, u"1"_s}}},
         true,
         true},
        {"both off",
         false,
         false,
         {{{u"InstanceID"_s, u"0"_s}, {u"EQType"_s, u"NightMode"_s}, {u"DesiredValue"_s, u"0"_s}},
          {{u"InstanceID"_s, u"0"_s}, {u"EQType"_s, u"DialogLevel"_s}, {u"DesiredValue"_s, u"0"_s}}},
         false,
         false},
    };
    ASSERT_EQ(tvGroup().nightMode, false);
    ASSERT_EQ(tvGroup().speechBoost, false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        simulator->clearRequests();
        h().setError(u"earlier"_s);
        Clock::advance(1s);
        h().setTVSound(tvGroup(), c.night, c.speech);
        EXPECT_EQ(group(3).nightMode, c.nightShown);
        EXPECT_EQ(group(3).speechBoost, c.speechShown);
        EXPECT_EQ(stampOf({ChangedValue::tvSound, group(3).id}), Clock::monotonic());
        ASSERT_TRUE(waitForError(std::nullopt));
        EXPECT_EQ(argsSent(3, u"SetEQ"_s), c.sent);
        EXPECT_EQ(simulator->speaker(host(3)).room.nightMode, *c.nightShown);
        EXPECT_EQ(simulator->speaker(host(3)).room.dialogLevel, *c.speechShown);
    }
    EXPECT_FALSE(stampOf({ChangedValue::volume, group(3).id})); // the TV sound key protects nothing else
}

TEST_F(Sound, TVSoundDoesNothingForAGroupWithoutATVSpeaker) {
    const SpeakerGroup living = group(1);
    ASSERT_FALSE(living.tvHost);
    QSignalSpy groupsChanged(&h(), &Household::groupsChanged);
    h().setError(u"kept"_s);
    h().setTVSound(living, true, true);
    QCoreApplication::processEvents();
    EXPECT_EQ(groupsChanged.count(), 0);
    EXPECT_FALSE(stampOf({ChangedValue::tvSound, living.id}));
    EXPECT_TRUE(simulator->requests().isEmpty());
    EXPECT_EQ(h().error(), u"kept"_s);
}

TEST_F(Sound, TVSoundForAGroupNoLongerShownIsSentButChangesNothing) {
    SpeakerGroup gone = tvGroup();
    gone.id = u"RINCON_GONE:7"_s;
    QSignalSpy groupsChanged(&h(), &Household::groupsChanged);
    h().setError(u"earlier"_s);
    h().setTVSound(gone, true, std::nullopt);
    EXPECT_EQ(groupsChanged.count(), 0);
    EXPECT_FALSE(stampOf({ChangedValue::tvSound, gone.id}));
    ASSERT_TRUE(waitForError(std::nullopt));
    EXPECT_EQ(sent(3, u"SetEQ"_s).size(), 1);
    EXPECT_TRUE(simulator->speaker(host(3)).room.nightMode);
    EXPECT_EQ(group(3).nightMode, false);
}

// A failed night-mode request ends the operation: no speech request, the text shows, and the
// local flags stay until the speaker's own values come back after the protection.
TEST_F(Sound, AFailedNightModeRequestStopsBeforeSpeech) {
    simulator->setFault(host(3), u"SetEQ"_s, sim::Fault::upnp(u"402"_s).once());
    h().setTVSound(tvGroup(), true, true);
    ASSERT_TRUE(waitForError(u"SetEQ failed (UPnP 402)"_s));
    EXPECT_EQ(sent(3, u"SetEQ"_s).size(), 1);
    EXPECT_EQ(group(3).nightMode, true);
    EXPECT_EQ(group(3).speechBoost, true);

    Clock::advance(1999ms);
    test::run(h().refresh());
    EXPECT_EQ(group(3).nightMode, true);
    Clock::advance(1ms);
    test::run(h().refresh());
    EXPECT_EQ(group(3).nightMode, false);
    EXPECT_EQ(group(3).speechBoost, false);
}

} // namespace
