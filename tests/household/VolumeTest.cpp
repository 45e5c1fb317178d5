// Volume and mute: the coalescing sender alone, then group and room volume and mute against
// simulated speakers.
#include "household/SpeakerOpsFixture.h"
#include "household/VolumeSender.h"
#include "protocol/SonosError.h"

#include <QSignalSpy>

using namespace ops;

namespace {

// ---- the sender alone, on manual time: each operation takes 100 ms of the clock ----

struct SenderLog {
    QList<int> started;
    QList<int> finished;
    QStringList errors;
    QSet<int> failing;
};

VolumeSender::Operation slowOperation(std::shared_ptr<SenderLog> log, const char* tag = "") {
    return [log, tag](int value) -> QCoro::Task<void> {
        return [](std::shared_ptr<SenderLog> log, int value, const char* tag) -> QCoro::Task<void> {
            log->started.append(value);
            co_await Clock::sleep(100ms);
            if (log->failing.contains(value))
                throw SonosError(QString::fromLatin1(tag) + u"failed %1"_s.arg(value), std::nullopt);
            log->finished.append(value);
        }(log, value, tag);
    };
}

class Sender : public ::testing::Test {
protected:
    void SetUp() override { Clock::useManual(); }
    void TearDown() override {
        Clock::advance(60s);
        Clock::useReal();
    }
    std::shared_ptr<SenderLog> log = std::make_shared<SenderLog>();
    std::shared_ptr<VolumeSender> sender = VolumeSender::create([log = log](std::exception_ptr failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            log->errors.append(QString::fromUtf8(error.what()));
        }
    });
};

TEST_F(Sender, ValuesArrivingMeanwhileCollapseIntoTheNewestWhichIsSentLast) {
    sender->send(40, slowOperation(log));
    EXPECT_TRUE(sender->busy());
    EXPECT_EQ(log->started, QList<int>{40}); // the first value goes out at once
    EXPECT_FALSE(sender->pending());
    sender->send(45, slowOperation(log));
    sender->send(50, slowOperation(log));
    EXPECT_EQ(sender->pending(), 50);
    EXPECT_EQ(log->started, QList<int>{40});
    Clock::advance(100ms);
    EXPECT_EQ(log->started, (QList<int>{40, 50}));
    EXPECT_TRUE(sender->busy());
    Clock::advance(100ms);
    EXPECT_EQ(log->finished, (QList<int>{40, 50}));
    EXPECT_FALSE(sender->busy());
    EXPECT_FALSE(sender->pending());

    // Idle again: the next value starts a new loop at once.
    sender->send(7, slowOperation(log));
    EXPECT_EQ(log->started.last(), 7);
    Clock::advance(100ms);
    EXPECT_FALSE(sender->busy());
}

// The operation handed with a value that arrives during a loop is dropped: the loop keeps
// the operation it started with.
TEST_F(Sender, TheRunningLoopKeepsItsOwnOperation) {
    auto other = std::make_shared<SenderLog>();
    sender->send(1, slowOperation(log));
    sender->send(2, slowOperation(other));
    Clock::advance(200ms);
    EXPECT_EQ(log->finished, (QList<int>{1, 2}));
    EXPECT_TRUE(other->started.isEmpty());
}

TEST_F(Sender, EveryFailureIsReportedAndTheLoopGoesOn) {
    log->failing = {1, 2};
    sender->send(1, slowOperation(log, "a "));
    sender->send(2, slowOperation(log));
    Clock::advance(100ms);
    sender->send(3, slowOperation(log));
    Clock::advance(100ms);
    Clock::advance(100ms);
    EXPECT_EQ(log->errors, (QStringList{u"a failed 1"_s, u"a failed 2"_s}));
    EXPECT_EQ(log->finished, QList<int>{3});
    EXPECT_FALSE(sender->busy());
}

// A burst of a hundred values while one request is under way: one more request, the last value.
TEST_F(Sender, ABurstSendsTheFirstAndTheLastValueOnly) {
    for (int v = 0; v < 100; ++v)
        sender->send((v * 37) % 101, slowOperation(log));
    Clock::advance(100ms);
    Clock::advance(100ms);
    EXPECT_EQ(log->started, (QList<int>{0, (99 * 37) % 101}));
    EXPECT_FALSE(sender->busy());
}

// The owner may let go of its sender while a request is under way; the loop ends normally.
TEST_F(Sender, ALoopOutlivesItsOwner) {
    std::weak_ptr<VolumeSender> weak = sender;
    sender->send(1, slowOperation(log));
    sender->send(2, slowOperation(log));
    sender.reset();
    EXPECT_FALSE(weak.expired());
    Clock::advance(100ms);
    Clock::advance(100ms);
    EXPECT_EQ(log->finished, (QList<int>{1, 2}));
    EXPECT_TRUE(weak.expired());
}

// ---- against simulated speakers ----

class Volume : public SpeakerOps {
protected:
    QStringList volumesSent(int n, const QString& action) {
        QStringList out;
        for (const Args& args : argsSent(n, action))
            out.append(args.last().second);
        return out;
    }
};

// Group volume: every value is preceded by its own snapshot; while one is under way, values
// collapse into the newest.
TEST_F(Volume, GroupVolumeShowsAtOnceAndSendsTheFirstAndTheNewestValue) {
    simulator->setFault(host(1), u"SetGroupVolume"_s, sim::Fault::delayed(150ms));
    h().setError(u"kept"_s);
    const SpeakerGroup living = group(1);
    for (int v : {40, 45, 50}) {
        h().setVolume(living, v);
        EXPECT_EQ(group(1).volume, v);
    }
    EXPECT_EQ(stampOf({ChangedValue::volume, living.id}), Clock::monotonic());
    EXPECT_EQ(group(1).rooms[0].volume, 31); // the rooms follow when the speakers report them
    ASSERT_TRUE(waitForRequests(1, u"SetGroupVolume"_s, 2));
    EXPECT_EQ(volumesSent(1, u"SetGroupVolume"_s), (QStringList{u"40"_s, u"50"_s}));
    EXPECT_EQ(actions(1), (QStringList{u"SnapshotGroupVolume"_s, u"SetGroupVolume"_s,
                                       u"SnapshotGroupVolume"_s, u"SetGroupVolume"_s}));
    EXPECT_EQ(argsSent(1, u"SnapshotGroupVolume"_s),
              (QList<Args>{{{u"InstanceID"_s, u"0"_s}}, {{u"InstanceID"_s, u"0"_s}}}));
    EXPECT_EQ(argsSent(1, u"SetGroupVolume"_s)[0],
              (Args{{u"InstanceID"_s, u"0"_s}, {u"DesiredVolume"_s, u"40"_s}}));
    // Nothing goes to the other member: the coordinator scales the group.
    EXPECT_TRUE(actions(2).isEmpty());
    // A success leaves the text alone.
    EXPECT_EQ(h().error(), u"kept"_s);
}

TEST_F(Volume, AFailedSnapshotSendsNoVolumeForItsValueButTheNewerOneStill) {
    sim::Fault slowFault = sim::Fault::upnp(u"402"_s).once();
    slowFault.delay = 100ms;
    simulator->setFault(host(1), u"SnapshotGroupVolume"_s, slowFault);
    h().setVolume(group(1), 20);
    h().setVolume(group(1), 60);
    ASSERT_TRUE(waitForRequests(1, u"SetGroupVolume"_s, 1));
    EXPECT_EQ(h().error(), u"SnapshotGroupVolume failed (UPnP 402)"_s);
    EXPECT_EQ(volumesSent(1, u"SetGroupVolume"_s), QStringList{u"60"_s});
    EXPECT_EQ(sent(1, u"SnapshotGroupVolume"_s).size(), 2);
}

// The bound on traffic: a hundred changes on one key while the speaker answers slowly send at
// most two requests after the first, and the last value asked is the last value sent.
TEST_F(Volume, ABurstOfAHundredChangesSendsAtMostThreeRequestsEndingWithTheLast) {
    // A room's own volume (Flur, alone) and a group's volume (the living room pair) at once.
    simulator->setFault(host(4), u"SetVolume"_s, sim::Fault::delayed(50ms));
    simulator->setFault(host(1), u"SetGroupVolume"_s, sim::Fault::delayed(50ms));
    int last = 0;
    for (int i = 0; i < 100; ++i) {
        last = (i * 37) % 101;
        h().setVolume(room(4), last);
        h().setVolume(group(1), last);
        if (i % 10 == 0)
            QCoreApplication::processEvents(); // some answers may arrive within the burst
    }
    EXPECT_EQ(room(4).volume, last);
    EXPECT_EQ(group(1).volume, last);
    const auto lastSent = [&](int n, const QString& action) {
        const QStringList values = volumesSent(n, action);
        return values.isEmpty() ? QString() : values.last();
    };
    ASSERT_TRUE(test::waitUntil([&] {
        return lastSent(4, u"SetVolume"_s) == QString::number(last) &&
               lastSent(1, u"SetGroupVolume"_s) == QString::number(last);
    }));
    EXPECT_TRUE(test::waitUntil([&] { return simulator->speaker(host(4)).room.volume == last; }));
    EXPECT_LE(sent(4, u"SetVolume"_s).size(), 3);
    EXPECT_LE(sent(1, u"SetGroupVolume"_s).size(), 3);
    EXPECT_EQ(sent(1, u"SnapshotGroupVolume"_s).size(), sent(1, u"SetGroupVolume"_s).size());
    EXPECT_FALSE(h().error());
}

TEST_F(Volume, ARoomVolumeMovesItsGroupToTheMeanAndGoesToTheRoomsOwnHost) {
    // Küche at 31 and Wohnzimmer at 40 -> 20: the group shows (20 + 31) / 2 = 25.5, so 26.
    const struct {
        int volume;
        int groupVolume;
    } cases[] = {{40, 36}, {20, 26}, {31, 31}, {-9, 11}, {120, 76}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        simulator->clearRequests();
        Clock::advance(1s);
        h().setVolume(room(1), c.volume);
        EXPECT_EQ(room(1).volume, c.volume);
        EXPECT_EQ(room(2).volume, 31);
        EXPECT_EQ(group(1).volume, c.groupVolume);
        EXPECT_EQ(stampOf({ChangedValue::roomVolume, uuid(1)}), Clock::monotonic());
        EXPECT_EQ(stampOf({ChangedValue::volume, group(1).id}), Clock::monotonic());
        ASSERT_TRUE(waitForRequests(1, u"SetVolume"_s, 1));
        // Sent as given, never clamped.
        EXPECT_EQ(argsSent(1, u"SetVolume"_s),
                  (QList<Args>{{{u"InstanceID"_s, u"0"_s},
                                {u"Channel"_s, u"Master"_s},
                                {u"DesiredVolume"_s, QString::number(c.volume)}}}));
        EXPECT_TRUE(test::waitUntil([&] { return !HouseholdProbe{h()}.recentlyChanged().isEmpty(); }));
    }
}

TEST_F(Volume, ARoomInNoGroupIsStillStampedAndSent) {
    Room away = room(4);
    away.id = u"RINCON_AWAY"_s;
    const QList<SpeakerGroup> before = h().groups();
    h().setVolume(away, 33);
    EXPECT_EQ(stampOf({ChangedValue::roomVolume, away.id}), Clock::monotonic());
    EXPECT_FALSE(stampOf({ChangedValue::volume, group(4).id}));
    ASSERT_TRUE(test::waitUntil([&] { return simulator->speaker(host(4)).room.volume == 33; }));
    for (qsizetype i = 0; i < before.size(); ++i)
        EXPECT_EQ(h().groups()[i].volume, before[i].volume);
}

// A failed volume request shows its text, and later successful ones leave it; a successful
// mute clears it.
TEST_F(Volume, VolumeFailuresShowTheirTextWhichOnlyAMuteClears) {
    h().setVolume(room(4), 120); // the speaker refuses what is beyond its range
    ASSERT_TRUE(waitForError(u"SetVolume failed (UPnP 402)"_s));
    h().setVolume(room(4), 30);
    ASSERT_TRUE(test::waitUntil([&] { return simulator->speaker(host(4)).room.volume == 30; }));
    EXPECT_EQ(h().error(), u"SetVolume failed (UPnP 402)"_s);

    simulator->setOffline(host(3), true);
    h().setVolume(group(3), 10);
    ASSERT_TRUE(
        waitForError(u"Speakers unreachable. Is this computer on the same Wi-Fi, not a guest network?"_s));
    interfaces.vpn = true;
    h().setVolume(room(3), 10);
    ASSERT_TRUE(waitForError(u"Speakers unreachable. An active VPN often blocks the local network."_s));
    interfaces.vpn = false;
    simulator->setOffline(host(3), false);

    h().toggleMute(room(4));
    ASSERT_TRUE(waitForError(std::nullopt));
}

TEST_F(Volume, GroupMuteFlipsTheGroupAndAllItsRoomsAtOnce) {
    for (bool muted : {false, true}) {
        SCOPED_TRACE(muted);
        simulator->clearRequests();
        edit(1, [&](SpeakerGroup& g) {
            g.muted = muted;
            for (Room& r : g.rooms)
                r.muted = muted;
        });
        Clock::advance(1s);
        h().setError(u"earlier"_s);
        h().toggleMute(group(1));
        EXPECT_EQ(group(1).muted, !muted);
        for (const Room& r : group(1).rooms) {
            EXPECT_EQ(r.muted, !muted);
            EXPECT_EQ(stampOf({ChangedValue::roomMute, r.id}), Clock::monotonic());
        }
        EXPECT_EQ(stampOf({ChangedValue::mute, group(1).id}), Clock::monotonic());
        ASSERT_TRUE(waitForError(std::nullopt));
        EXPECT_EQ(argsSent(1, u"SetGroupMute"_s),
                  (QList<Args>{{{u"InstanceID"_s, u"0"_s}, {u"DesiredMute"_s, muted ? u"0"_s : u"1"_s}}}));
        EXPECT_EQ(simulator->speaker(host(2)).room.mute, !muted);
    }
}

TEST_F(Volume, RoomMuteFlipsOnlyThatRoom) {
    simulator->setFault(host(2), u"SetMute"_s, sim::Fault::delayed(20ms));
    h().setError(u"earlier"_s);
    h().toggleMute(room(2));
    EXPECT_TRUE(room(2).muted);
    EXPECT_FALSE(room(1).muted);
    EXPECT_FALSE(group(1).muted); // the group's own flag follows the speakers
    EXPECT_EQ(stampOf({ChangedValue::roomMute, uuid(2)}), Clock::monotonic());
    EXPECT_FALSE(stampOf({ChangedValue::mute, group(1).id}));
    ASSERT_TRUE(waitForError(std::nullopt));
    EXPECT_EQ(
        argsSent(2, u"SetMute"_s),
        (QList<Args>{{{u"InstanceID"_s, u"0"_s}, {u"Channel"_s, u"Master"_s}, {u"DesiredMute"_s, u"1"_s}}}));
    EXPECT_TRUE(sent(1, u"SetMute"_s).isEmpty());

    // Two quick toggles from the same value send two requests computed from that value.
    const Room unmuted = room(1);
    QSignalSpy answered(&h(), &Household::errorChanged);
    h().toggleMute(unmuted);
    h().toggleMute(unmuted);
    ASSERT_TRUE(test::waitUntil([&] { return answered.count() == 2; }));
    ASSERT_EQ(sent(1, u"SetMute"_s).size(), 2);
    for (const Args& args : argsSent(1, u"SetMute"_s))
        EXPECT_EQ(args.last().second, u"1"_s);
}

// The speaker's older report does not undo a fresh change within 2 s.
TEST_F(Volume, RefreshesKeepFreshVolumesForTwoSeconds) {
    h().setVolume(room(2), 70);
    ASSERT_TRUE(test::waitUntil([&] { return simulator->speaker(host(2)).room.volume == 70; }));
    simulator->update([](sim::FakeHousehold& fake) { fake.speakers[1].room.volume = 12; });
    Clock::advance(1999ms);
    test::run(h().refresh());
    EXPECT_EQ(room(2).volume, 70);
    Clock::advance(1ms);
    test::run(h().refresh());
    EXPECT_EQ(room(2).volume, 12);
}

// With events on, the speakers report every volume change back; for 2 s the household keeps
// what the user set, then their word counts again.
TEST_F(Volume, VolumeEventsFromTheSpeakersRespectTheProtection) {
    startEvents();
    sim::SimGena& gena = simulator->gena();
    // A room: its own volume event and its coordinator's group volume event.
    qsizetype from = gena.notifies().size();
    h().setVolume(room(2), 55);
    ASSERT_TRUE(test::waitUntil([&] {
        return notified(from, 2, "Volume channel=&quot;Master&quot; val=&quot;55&quot;") &&
               notified(from, 1, "<GroupVolume>48</GroupVolume>");
    }));
    EXPECT_EQ(room(2).volume, 55);
    EXPECT_EQ(group(1).volume, 48);

    // Someone else's change within the 2 s is held off; after them it shows.
    from = gena.notifies().size();
    gena.setVolume(host(2), 13);
    ASSERT_TRUE(test::waitUntil([&] { return notified(from, 2, "val=&quot;13&quot;"); }));
    EXPECT_EQ(room(2).volume, 55);
    Clock::advance(2s);
    gena.setVolume(host(2), 12);
    ASSERT_TRUE(test::waitUntil([&] { return room(2).volume == 12; }));
    ASSERT_TRUE(test::waitUntil([&] { return group(1).volume == 26; }));

    // The group: the members follow through their own events; the group value is held.
    from = gena.notifies().size();
    h().setVolume(group(1), 60);
    ASSERT_TRUE(test::waitUntil([&] { return room(1).volume == 92 && room(2).volume == 27; }));
    ASSERT_TRUE(test::waitUntil([&] { return notified(from, 1, "<GroupVolume>60</GroupVolume>"); }));
    EXPECT_EQ(group(1).volume, 60);

    // Mute: the group's event and every member's.
    from = gena.notifies().size();
    h().toggleMute(group(1));
    ASSERT_TRUE(test::waitUntil([&] {
        return notified(from, 1, "<GroupMute>1</GroupMute>") &&
               notified(from, 2, "Mute channel=&quot;Master&quot; val=&quot;1&quot;");
    }));
    EXPECT_TRUE(group(1).muted);
}

// A household that goes while its volume requests are under way takes nothing down with it.
TEST_F(Volume, AHouseholdMayGoWhileItsVolumesAreUnderWay) {
    simulator->setFault(host(2), u"SetVolume"_s, sim::Fault::delayed(50ms));
    simulator->setFault(host(1), u"SetVolume"_s, sim::Fault::upnp(u"402"_s));
    h().setVolume(room(2), 10);
    h().setVolume(room(2), 11);
    h().setVolume(room(1), 12);
    QList<std::weak_ptr<VolumeSender>> senders;
    for (const auto& sender : probe().volumeSenders())
        senders.append(sender);
    ASSERT_EQ(senders.size(), 2);
    EXPECT_TRUE(test::waitUntil([&] { return probe().fetchingModels().isEmpty(); }));
    household.reset();
    // Each loop runs to its end, failure included, and then lets its sender go.
    EXPECT_TRUE(test::waitUntil([&] {
        return std::all_of(senders.cbegin(), senders.cend(), [](const auto& s) { return s.expired(); });
    }));
    EXPECT_EQ(simulator->speaker(host(2)).room.volume, 11);
    EXPECT_EQ(sent(1, u"SetVolume"_s).size(), 1);
}

} // namespace
