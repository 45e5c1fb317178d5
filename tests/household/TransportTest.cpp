// Transport control against simulated speakers: play/pause, next/previous, seek, sleep timer.
#include "household/HouseholdTexts.h"
#include "household/SpeakerOpsFixture.h"

#include <cmath>
#include <limits>

using namespace ops;

namespace {

class Transport : public SpeakerOps {};

TEST(Hms, FormatsRoundedSecondsWithUnwrappedHours) {
    const struct {
        double seconds;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},
        {0.49, "00:00:00"},
        {59.5, "00:01:00"},
        {61.5, "00:01:02"},
        {900, "00:15:00"},
        {3599.5, "01:00:00"},
        {3600, "01:00:00"},
        {3661, "01:01:01"},
        {90000, "25:00:00"},
        {360000, "100:00:00"},
        {-5, "00:00:00"},
        {-0.4, "00:00:00"},
        {std::nan(""), "00:00:00"},
        {-std::numeric_limits<double>::infinity(), "00:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Household::hms(c.seconds), QString::fromLatin1(c.text)) << c.seconds;
    // Far beyond any track, still a time text rather than an overflow.
    EXPECT_EQ(Household::hms(1e300), u"277777777777:46:40"_s);
    EXPECT_EQ(Household::hms(1e300), Household::hms(std::numeric_limits<double>::infinity()));
}

// The toggle shows the new state and the position as it stands at once, then sends one action.
TEST_F(Transport, TogglePlayChangesTheModelFirstAndSendsPauseOrPlay) {
    const struct {
        const char* name;
        QString state;
        double position;
        std::optional<double> duration;
        QString action;
        Args args;
        QString shown;
        double shownPosition;
    } cases[] = {
        // Playing for 12 s from 30 of 35 s: the position stops at the end of the track.
        {"playing", u"PLAYING"_s, 30, 35, u"Pause"_s, {{u"InstanceID"_s, u"0"_s}}, u"PAUSED_PLAYBACK"_s, 35},
        {"playing within",
         u"PLAYING"_s,
         10,
         300,
         u"Pause"_s,
         {{u"InstanceID"_s, u"0"_s}},
         u"PAUSED_PLAYBACK"_s,
         22},
        // In transition the position does not move.
        {"transitioning",
         u"TRANSITIONING"_s,
         30,
         300,
         u"Pause"_s,
         {{u"InstanceID"_s, u"0"_s}},
         u"PAUSED_PLAYBACK"_s,
         30},
        {"paused",
         u"PAUSED_PLAYBACK"_s,
         30,
         300,
         u"Play"_s,
         {{u"InstanceID"_s, u"0"_s}, {u"Speed"_s, u"1"_s}},
         u"PLAYING"_s,
         30},
        {"stopped, no duration",
         u"STOPPED"_s,
         -3,
         std::nullopt,
         u"Play"_s,
         {{u"InstanceID"_s, u"0"_s}, {u"Speed"_s, u"1"_s}},
         u"PLAYING"_s,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        simulator->clearRequests();
        h().setError(u"earlier"_s);
        const QDateTime start = Clock::now();
        edit(1, [&](SpeakerGroup& g) {
            g.state = c.state;
            g.position = c.position;
            g.positionAt = start;
            g.duration = c.duration;
        });
        Clock::advance(12s);
        const SpeakerGroup before = group(1);

        QCoro::Task<void> toggle = h().togglePlay(before);
        EXPECT_EQ(group(1).state, c.shown);
        EXPECT_DOUBLE_EQ(group(1).position, c.shownPosition);
        EXPECT_EQ(group(1).positionAt, Clock::now());
        EXPECT_EQ(stampOf({ChangedValue::state, before.id}), Clock::monotonic());
        test::run(std::move(toggle));

        EXPECT_EQ(argsSent(1, c.action), QList<Args>{c.args});
        EXPECT_EQ(actions(1), QStringList{c.action});
        EXPECT_EQ(simulator->speaker(host(1)).transport.state, c.shown);
        EXPECT_FALSE(h().error());
        EXPECT_EQ(group(1).state, c.shown);
    }
}

// A failed toggle shows the state passed in again, renews its stamp and shows why.
TEST_F(Transport, AFailedToggleRestoresTheStateAndShowsItsText) {
    const struct {
        const char* name;
        std::function<void()> breakIt;
        QString text;
    } cases[] = {
        // Flur has nothing loaded: the speaker answers 701.
        {"nothing loaded", [] {}, u"Nothing loaded. Start music in Spotify or the Sonos app."_s},
        {"other fault", [this] { simulator->setFault(host(4), u"Play"_s, sim::Fault::upnp(u"402"_s)); },
         u"Play failed (UPnP 402)"_s},
        {"offline", [this] { simulator->setOffline(host(4), true); },
         u"Speakers unreachable. Is this computer on the same Wi-Fi, not a guest network?"_s},
        {"offline behind a VPN",
         [this] {
             simulator->setOffline(host(4), true);
             interfaces.vpn = true;
         },
         u"Speakers unreachable. An active VPN often blocks the local network."_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.breakIt();
        const SpeakerGroup before = group(4);
        ASSERT_EQ(before.state, u"STOPPED"_s);
        QCoro::Task<void> toggle = h().togglePlay(before);
        EXPECT_EQ(group(4).state, u"PLAYING"_s);
        const QDateTime changed = Clock::now();
        Clock::advance(1s);
        test::run(std::move(toggle));

        EXPECT_EQ(group(4).state, u"STOPPED"_s);
        EXPECT_EQ(group(4).positionAt, changed); // the position keeps its optimistic moment
        EXPECT_EQ(stampOf({ChangedValue::state, before.id}), Clock::monotonic());
        EXPECT_EQ(h().error(), c.text);

        simulator->clearFaults();
        simulator->setOffline(host(4), false);
        interfaces.vpn = false;
    }
    // The text goes through the lookup: the German source while German is in use.
    EXPECT_EQ(L(u"Nichts geladen. Starte Musik in Spotify oder der Sonos-App."_s),
              u"Nothing loaded. Start music in Spotify or the Sonos app."_s);
}

TEST_F(Transport, AToggleForAGroupNoLongerShownChangesNothingButIsSent) {
    SpeakerGroup gone = group(3);
    gone.id = u"RINCON_GONE:9"_s;
    const QString shown = group(3).state;
    test::run(h().togglePlay(gone));
    EXPECT_FALSE(stampOf({ChangedValue::state, gone.id}));
    EXPECT_FALSE(stampOf({ChangedValue::state, group(3).id}));
    EXPECT_EQ(group(3).state, shown);
    EXPECT_EQ(argsSent(3, u"Play"_s).size(), 1);
    EXPECT_EQ(simulator->speaker(host(3)).transport.state, u"PLAYING"_s);
}

// Two quick presses are two requests, each from the value its caller passed.
TEST_F(Transport, QuickTogglesAreNeitherQueuedNorCoalesced) {
    const SpeakerGroup playing = group(1);
    QCoro::Task<void> first = h().togglePlay(playing);
    QCoro::Task<void> second = h().togglePlay(playing);
    test::run(std::move(first));
    test::run(std::move(second));
    EXPECT_EQ(argsSent(1, u"Pause"_s).size(), 2);
    EXPECT_TRUE(sent(1, u"Play"_s).isEmpty());
}

TEST_F(Transport, SkipSendsItsActionThenRefreshesAfterSixTenthsOfASecond) {
    h().setError(u"earlier"_s);
    QCoro::Task<void> skipping = h().skip(group(1), true);
    ASSERT_TRUE(waitForRequests(1, u"Next"_s, 1));
    ASSERT_TRUE(waitForError(std::nullopt));
    // No local change before the speaker reports the new track.
    EXPECT_EQ(group(1).title, u"Song 1"_s);
    Clock::advance(599ms);
    QCoreApplication::processEvents();
    EXPECT_TRUE(sent(1, u"GetZoneGroupState"_s).isEmpty());
    Clock::advance(1ms);
    test::run(std::move(skipping));
    EXPECT_EQ(sent(1, u"GetZoneGroupState"_s).size(), 1);
    EXPECT_EQ(argsSent(1, u"Next"_s), (QList<Args>{{{u"InstanceID"_s, u"0"_s}}}));
    EXPECT_EQ(group(1).title, u"Song 2"_s);

    simulator->clearRequests();
    h().setError(u"earlier"_s);
    QCoro::Task<void> back = h().skip(group(1), false);
    ASSERT_TRUE(waitForError(std::nullopt)); // answered: the pause has begun
    Clock::advance(600ms);
    test::run(std::move(back));
    EXPECT_EQ(argsSent(1, u"Previous"_s), (QList<Args>{{{u"InstanceID"_s, u"0"_s}}}));
    EXPECT_EQ(group(1).title, u"Song 1"_s);
}

TEST_F(Transport, AFailedSkipShowsItsTextAndStillRefreshes) {
    // Past the end of the queue the speaker answers 711; 701 would get no text of its own here.
    for (const QString& code : {u"711"_s, u"701"_s}) {
        SCOPED_TRACE(code.toStdString());
        simulator->clearRequests();
        simulator->setFault(host(1), u"Next"_s, sim::Fault::upnp(code).once());
        QCoro::Task<void> skipping = h().skip(group(1), true);
        ASSERT_TRUE(waitForError(u"Next failed (UPnP "_s + code + u")"_s));
        Clock::advance(600ms);
        test::run(std::move(skipping));
        EXPECT_EQ(sent(1, u"GetZoneGroupState"_s).size(), 1);
        EXPECT_EQ(h().error(), u"Next failed (UPnP "_s + code + u")"_s);
    }
}

TEST_F(Transport, ASkipOnAGroupThatCannotSkipDoesNothingAtAll) {
    const SpeakerGroup tv = group(3);
    ASSERT_FALSE(tv.canSkip);
    h().setError(u"kept"_s);
    const int pending = Clock::pendingCount();
    test::run(h().skip(tv, true));
    EXPECT_TRUE(simulator->requests().isEmpty());
    EXPECT_EQ(Clock::pendingCount(), pending);
    EXPECT_EQ(h().error(), u"kept"_s);
}

TEST_F(Transport, SeekKeepsTheTargetWithinTheTrackShowsItAndSendsIt) {
    const struct {
        double seconds;
        double shown;
        const char* target;
    } cases[] = {
        {-5, 0, "00:00:00"}, {400, 300, "00:05:00"}, {61.5, 61.5, "00:01:02"}, {299.6, 299.6, "00:05:00"}};
    edit(1, [](SpeakerGroup& g) { g.duration = 300; });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        simulator->clearRequests();
        h().setError(u"earlier"_s);
        Clock::advance(1s);
        h().seek(group(1), c.seconds);
        EXPECT_DOUBLE_EQ(group(1).position, c.shown);
        EXPECT_EQ(group(1).positionAt, Clock::now());
        EXPECT_EQ(stampOf({ChangedValue::position, group(1).id}), Clock::monotonic());
        ASSERT_TRUE(waitForError(std::nullopt));
        EXPECT_EQ(argsSent(1, u"Seek"_s), (QList<Args>{{{u"InstanceID"_s, u"0"_s},
                                                        {u"Unit"_s, u"REL_TIME"_s},
                                                        {u"Target"_s, QString::fromLatin1(c.target)}}}));
    }
}

// A target that is no number would make the groups impossible to store: it is dropped.
TEST_F(Transport, SeekIgnoresATargetThatIsNotANumber) {
    const double position = group(1).position;
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        h().seek(group(1), bad);
        EXPECT_DOUBLE_EQ(group(1).position, position);
    }
    EXPECT_FALSE(stampOf({ChangedValue::position, group(1).id}));
    QCoreApplication::processEvents();
    EXPECT_TRUE(sent(1, u"Seek"_s).isEmpty());
    EXPECT_TRUE(SpeakerGroup::encodeList(h().groups()));
}

TEST_F(Transport, AFailedSeekKeepsItsPositionAndShowsTheText) {
    simulator->setFault(host(1), u"Seek"_s, sim::Fault::upnp(u"711"_s));
    edit(1, [](SpeakerGroup& g) { g.duration = 300; });
    h().seek(group(1), 120);
    ASSERT_TRUE(waitForError(u"Seek failed (UPnP 711)"_s));
    EXPECT_DOUBLE_EQ(group(1).position, 120);
}

TEST_F(Transport, TheSleepTimerShowsItsRemainderAndSendsItsDuration) {
    const struct {
        std::optional<int> minutes;
        std::optional<double> remaining;
        QString sent;
    } cases[] = {
        {15, 900, u"00:15:00"_s}, {60, 3600, u"01:00:00"_s}, {std::nullopt, std::nullopt, QString()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent.toStdString());
        simulator->clearRequests();
        Clock::advance(1s);
        h().setSleepTimer(group(1), c.minutes);
        EXPECT_EQ(group(1).sleepRemaining, c.remaining);
        EXPECT_EQ(group(1).sleepAt, Clock::now());
        EXPECT_EQ(stampOf({ChangedValue::sleepTimer, group(1).id}), Clock::monotonic());
        ASSERT_TRUE(waitForRequests(1, u"ConfigureSleepTimer"_s, 1));
        EXPECT_EQ(argsSent(1, u"ConfigureSleepTimer"_s),
                  (QList<Args>{{{u"InstanceID"_s, u"0"_s}, {u"NewSleepTimerDuration"_s, c.sent}}}));
        EXPECT_TRUE(
            test::waitUntil([&] { return simulator->speaker(host(1)).transport.sleepTimer == c.sent; }));
    }
    // A failure shows its text and leaves the optimistic remainder.
    simulator->setOffline(host(1), true);
    h().setSleepTimer(group(1), 30);
    ASSERT_TRUE(
        waitForError(u"Speakers unreachable. Is this computer on the same Wi-Fi, not a guest network?"_s));
    EXPECT_EQ(group(1).sleepRemaining, 1800);
}

// For 2 s a refresh keeps what the user did; after that the speaker's word counts again.
TEST_F(Transport, RefreshesKeepALocalChangeForTwoSeconds) {
    test::run(h().togglePlay(group(1)));
    edit(1, [](SpeakerGroup& g) { g.duration = 300; });
    h().seek(group(1), 100);
    ASSERT_TRUE(waitForError(std::nullopt));
    ASSERT_TRUE(waitForRequests(1, u"Seek"_s, 1));
    // The speaker reports otherwise, as from before the change.
    simulator->update([](sim::FakeHousehold& fake) {
        fake.speakers[0].transport.state = u"PLAYING"_s;
        fake.speakers[0].transport.relTime = u"0:00:05"_s;
    });
    Clock::advance(1900ms);
    test::run(h().refresh());
    EXPECT_EQ(group(1).state, u"PAUSED_PLAYBACK"_s);
    EXPECT_DOUBLE_EQ(group(1).position, 100);
    Clock::advance(101ms);
    test::run(h().refresh());
    EXPECT_EQ(group(1).state, u"PLAYING"_s);
    EXPECT_DOUBLE_EQ(group(1).position, 5);
}

// With events on: the speaker's own report of a toggle and someone else's change wait for the
// protection; a skip's new track is announced by event.
TEST_F(Transport, TransportEventsFromTheSpeakersRespectTheProtection) {
    startEvents();
    sim::SimGena& gena = simulator->gena();

    qsizetype from = gena.notifies().size();
    test::run(h().togglePlay(group(1)));
    gena.setTransportState(host(1), u"PLAYING"_s); // someone else, right after
    ASSERT_TRUE(test::waitUntil([&] { return notified(from, 1, "TransportState val=&quot;PLAYING&quot;"); }));
    EXPECT_TRUE(notified(from, 1, "TransportState val=&quot;PAUSED_PLAYBACK&quot;"));
    EXPECT_EQ(group(1).state, u"PAUSED_PLAYBACK"_s);
    Clock::advance(2s);
    gena.setTransportState(host(1), u"PLAYING"_s);
    ASSERT_TRUE(test::waitUntil([&] { return group(1).state == u"PLAYING"_s; }));

    from = gena.notifies().size();
    h().setError(u"earlier"_s);
    QCoro::Task<void> skipping = h().skip(group(1), true);
    ASSERT_TRUE(waitForError(std::nullopt));
    ASSERT_TRUE(test::waitUntil([&] { return notified(from, 1, "song2.mp3"); }));
    Clock::advance(600ms);
    test::run(std::move(skipping));
    EXPECT_EQ(group(1).title, u"Song 2"_s);
}

} // namespace
