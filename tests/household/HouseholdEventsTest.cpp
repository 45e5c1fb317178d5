#include "household/HouseholdFixture.h"
#include "support/Await.h"
#include "support/TestNet.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

Events::Target target(const QString& uuid, EventService service) {
    return Events::Target{.uuid = uuid, .host = u"host"_s, .service = service};
}

class HouseholdEvents : public HouseholdFixture {
protected:
    Household& start() {
        Household& h = make();
        probe().apply(
            {group(u"G1"_s, {room(u"A"_s, u"a"_s, 10), room(u"B"_s, u"b"_s, 20)}, u"PAUSED_PLAYBACK"_s),
             group(u"G2"_s, {room(u"C"_s, u"c"_s, 30)})});
        return h;
    }
    const SpeakerGroup& g1() { return household->groups()[0]; }
    // Local changes send their requests: to a loopback address where nothing listens, and the
    // test waits for them to end.
    void sendNowhere() {
        QList<SpeakerGroup> groups = household->groups();
        for (SpeakerGroup& g : groups)
            for (Room& r : g.rooms)
                r.host = test::loopback(2);
        probe().setGroups(groups);
    }
    void TearDown() override {
        const auto& senders = probe().volumeSenders();
        EXPECT_TRUE(test::waitUntil([&] {
            return std::none_of(senders.cbegin(), senders.cend(), [](const auto& s) { return s->busy(); });
        }));
        HouseholdFixture::TearDown();
    }
    void event(const QString& uuid, EventService service, const Fields& fields) {
        probe().handle(target(uuid, service), fields);
    }
};

TEST_F(HouseholdEvents, TransportStateAppliesUnlessTheUserJustChangedIt) {
    Household& h = start();
    probe().recentlyChanged().insert({ChangedValue::state, u"G1"_s}, Clock::monotonic());
    Clock::advance(1s);
    event(u"A"_s, EventService::avTransport, {{u"TransportState"_s, u"STOPPED"_s}});
    EXPECT_EQ(g1().state, u"PAUSED_PLAYBACK"_s);
    Clock::advance(1500ms);
    QSignalSpy spy(&h, &Household::groupsChanged);
    event(u"A"_s, EventService::avTransport, {{u"TransportState"_s, u"PLAYING"_s}});
    EXPECT_EQ(g1().state, u"PLAYING"_s);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(h.activeCoordinator(), u"A"_s);
    // From a speaker that coordinates nothing: dropped, its track not remembered.
    event(u"B"_s, EventService::avTransport,
          {{u"TransportState"_s, u"STOPPED"_s}, {u"CurrentTrackURI"_s, u"x"_s}});
    EXPECT_EQ(g1().state, u"PLAYING"_s);
    EXPECT_FALSE(probe().lastTrack().contains(u"B"_s));
}

TEST_F(HouseholdEvents, AChangedTrackPollsTheGroupOnceAfterTheDebounce) {
    start();
    const Fields track{{u"CurrentTrackURI"_s, u"x-file:1"_s}, {u"CurrentTrackMetaData"_s, u"<DIDL/>"_s}};
    event(u"A"_s, EventService::avTransport, track);
    Clock::advance(300ms);
    EXPECT_EQ(polled, QStringList{u"G1"_s});
    event(u"A"_s, EventService::avTransport, track); // the same track: no poll
    Clock::advance(300ms);
    EXPECT_EQ(polled.size(), 1);
    event(u"A"_s, EventService::avTransport, {{u"CurrentTrackMetaData"_s, u"<DIDL>2</DIDL>"_s}});
    Clock::advance(299ms);
    EXPECT_EQ(polled.size(), 1);
    Clock::advance(1ms);
    EXPECT_EQ(polled.size(), 2);
}

TEST_F(HouseholdEvents, GroupVolumeAndMute) {
    start();
    struct Case {
        const char* volume;
        const char* mute;
        int expectVolume;
        bool expectMuted;
    };
    const Case cases[] = {
        {"55", "1", 55, true},   {"abc", "1", 55, true}, {"12", "true", 12, false},
        {"+13", "0", 13, false}, {"-1", "0", -1, false}, {"99999999999", "0", -1, false},
        {"+-3", "0", -1, false}, {" 4", "0", -1, false}, {"", "1", -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        event(u"A"_s, EventService::groupRenderingControl,
              {{u"GroupVolume"_s, QString::fromLatin1(c.volume)},
               {u"GroupMute"_s, QString::fromLatin1(c.mute)}});
        EXPECT_EQ(g1().volume, c.expectVolume);
        EXPECT_EQ(g1().muted, c.expectMuted);
    }
    // Within 2 s of a local change both fields are left alone; after it they apply.
    probe().recentlyChanged().insert({ChangedValue::volume, u"G1"_s}, Clock::monotonic());
    probe().recentlyChanged().insert({ChangedValue::mute, u"G1"_s}, Clock::monotonic());
    Clock::advance(1500ms);
    event(u"A"_s, EventService::groupRenderingControl,
          {{u"GroupVolume"_s, u"70"_s}, {u"GroupMute"_s, u"0"_s}});
    EXPECT_EQ(g1().volume, -1);
    EXPECT_TRUE(g1().muted);
    Clock::advance(1000ms);
    event(u"A"_s, EventService::groupRenderingControl,
          {{u"GroupVolume"_s, u"70"_s}, {u"GroupMute"_s, u"0"_s}});
    EXPECT_EQ(g1().volume, 70);
    EXPECT_FALSE(g1().muted);
}

TEST_F(HouseholdEvents, RoomVolumeAndMute) {
    Household& h = start();
    event(u"B"_s, EventService::renderingControl, {{u"Volume"_s, u"44"_s}, {u"Mute"_s, u"1"_s}});
    EXPECT_EQ(g1().rooms[1].volume, 44);
    EXPECT_TRUE(g1().rooms[1].muted);
    probe().recentlyChanged().insert({ChangedValue::roomVolume, u"B"_s}, Clock::monotonic());
    event(u"B"_s, EventService::renderingControl, {{u"Volume"_s, u"1"_s}});
    EXPECT_EQ(g1().rooms[1].volume, 44);
    QSignalSpy spy(&h, &Household::groupsChanged);
    event(u"Q"_s, EventService::renderingControl, {{u"Volume"_s, u"1"_s}}); // no such room
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(HouseholdEvents, TopologyChangesLeadToOneRefreshAfterTheLastOfThem) {
    start();
    probe().found(u"h1"_s);
    asked.clear();
    topology = {group(u"G9"_s, {room(u"A"_s, u"a"_s)})};
    for (const char* text : {"<one/>", "<two/>", "<three/>"}) {
        event(u"A"_s, EventService::zoneGroupTopology, {{u"ZoneGroupState"_s, QString::fromLatin1(text)}});
        Clock::advance(100ms);
    }
    Clock::advance(399ms);
    EXPECT_TRUE(asked.isEmpty());
    Clock::advance(1ms);
    EXPECT_EQ(asked, QStringList{u"h1"_s});
    EXPECT_EQ(household->groups()[0].id, u"G9"_s);
    event(u"A"_s, EventService::zoneGroupTopology, {{u"ZoneGroupState"_s, u"<three/>"_s}});
    event(u"A"_s, EventService::zoneGroupTopology, {{u"Other"_s, u"x"_s}});
    Clock::advance(1s);
    EXPECT_EQ(asked.size(), 1);
}

// Each value has a protection key of its own: a volume change holds back volume events only.
TEST_F(HouseholdEvents, AVolumeChangeLeavesTheTransportStateToEvents) {
    Household& h = start();
    sendNowhere();
    h.setVolume(SpeakerGroup(g1()), 40); // a copy, as views pass it
    Clock::advance(1s);
    event(u"A"_s, EventService::avTransport, {{u"TransportState"_s, u"STOPPED"_s}});
    event(u"A"_s, EventService::groupRenderingControl,
          {{u"GroupVolume"_s, u"25"_s}, {u"GroupMute"_s, u"1"_s}});
    EXPECT_EQ(g1().state, u"STOPPED"_s);
    EXPECT_EQ(g1().volume, 40);
    EXPECT_TRUE(g1().muted);
    h.setVolume(Room(g1().rooms[1]), 55); // a room: its volume only, not its mute
    event(u"B"_s, EventService::renderingControl, {{u"Volume"_s, u"5"_s}, {u"Mute"_s, u"1"_s}});
    EXPECT_EQ(g1().rooms[1].volume, 55);
    EXPECT_TRUE(g1().rooms[1].muted);
}

// The protection runs on the monotonic clock: setting the wall clock back an hour does not
// stretch it.
TEST_F(HouseholdEvents, TheProtectionIgnoresTheWallClock) {
    Household& h = start();
    sendNowhere();
    h.setVolume(SpeakerGroup(g1()), 40); // a copy, as views pass it
    Clock::setWallClock(Clock::now().addSecs(-3600));
    Clock::advance(1500ms);
    event(u"A"_s, EventService::groupRenderingControl, {{u"GroupVolume"_s, u"25"_s}});
    EXPECT_EQ(g1().volume, 40);
    Clock::advance(1000ms);
    event(u"A"_s, EventService::groupRenderingControl, {{u"GroupVolume"_s, u"25"_s}});
    EXPECT_EQ(g1().volume, 25);
}

// An observer that changes the groups when told of the first value does not make the second
// land in another group.
TEST_F(HouseholdEvents, AnObserverThatRegroupsDoesNotMisdirectTheRestOfAnEvent) {
    Household& h = start();
    bool once = true;
    QObject context;
    QObject::connect(&h, &Household::groupsChanged, &context, [&] {
        if (!std::exchange(once, false))
            return;
        QList<SpeakerGroup> reordered = h.groups();
        std::swap(reordered[0], reordered[1]);
        probe().setGroups(reordered);
    });
    event(u"A"_s, EventService::groupRenderingControl,
          {{u"GroupVolume"_s, u"70"_s}, {u"GroupMute"_s, u"1"_s}});
    for (const SpeakerGroup& g : h.groups()) {
        EXPECT_EQ(g.muted, g.id == u"G1"_s) << g.id.toStdString();
        EXPECT_EQ(g.volume == 70, g.id == u"G1"_s) << g.id.toStdString();
    }
}

} // namespace
