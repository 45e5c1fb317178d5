// The household against the loopback speaker simulator: real control calls, real replies.
#include "core/Clock.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "household/HouseholdTexts.h"
#include "protocol/Soap.h"
#include "support/Await.h"
#include "support/LiveHousehold.h"
#include "support/QtPrinters.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const test::SpeakerNumbers numbers{u"RINCON_SIM"_s, 2};
QString host(int n) {
    return numbers.host(n);
}
QString uuid(int n) {
    return numbers.uuid(n);
}

// Six speakers in three groups: a TV pair, a playing pair and a stopped pair.
sim::FakeHousehold sixSpeakers() {
    sim::FakeHousehold household =
        numbers.household({u"Wohnzimmer"_s, u"Küche"_s, u"Bad"_s, u"Flur"_s, u"Arbeitszimmer"_s, u"Garten"_s},
                          {{1, 2}, {3, 4}, {5, 6}});
    household.speakers[0].tv = true;
    household.speakers[0].modelName = u"Sonos Arc"_s;
    household.speakers[0].transport.state = u"PLAYING"_s;
    household.speakers[0].transport.trackUri = u"x-sonos-htastream:"_s + uuid(1) + u":spdif"_s;
    household.speakers[2].transport.state = u"PLAYING"_s;
    household.speakers[2].transport.trackUri = u"x-file-cifs://nas/song.mp3"_s;
    return household;
}

class HouseholdLive : public test::LiveHousehold {
protected:
    void SetUp() override {
        simulator = std::make_unique<sim::SpeakerSimulator>(sixSpeakers());
        // The newest host first: the TV speaker, then the others.
        settings->setTextList(HouseholdKeys::knownHosts, {host(1), host(3), host(5)});
    }
    Household& make() { return makeHousehold(); }
    void refresh() { test::run(household->refresh()); }
    QStringList groupMembers() const {
        QStringList out;
        for (const SpeakerGroup& g : household->groups()) {
            QStringList names;
            for (const Room& r : g.rooms)
                names.append(r.name);
            out.append(names.join(u'+'));
        }
        return out;
    }

    // The published group that holds the room named `name`, and that room.
    const SpeakerGroup& groupWith(const QString& name) const {
        for (const SpeakerGroup& g : household->groups())
            for (const Room& r : g.rooms)
                if (r.name == name)
                    return g;
        throw std::runtime_error("no published room of that name");
    }
    const Room& roomNamed(const QString& name) const {
        for (const Room& r : groupWith(name).rooms)
            if (r.name == name)
                return r;
        throw std::runtime_error("no published room of that name");
    }
};

TEST_F(HouseholdLive, RefreshReadsTheHouseholdAndFollowsARegroupingFromOutside) {
    Household& h = make();
    refresh();
    EXPECT_FALSE(h.error());
    EXPECT_TRUE(h.live());
    // Rooms and groups in name order, new rooms learned once.
    EXPECT_EQ(groupMembers(), (QStringList{u"Arbeitszimmer+Garten"_s, u"Bad+Flur"_s, u"Küche+Wohnzimmer"_s}));
    EXPECT_EQ(h.groups()[2].coordinatorID, uuid(1));
    EXPECT_EQ(h.groups()[2].coordinator().host, host(1));
    EXPECT_EQ(simulator->requests(host(1), u"GetZoneGroupState"_s).size(), 1);
    EXPECT_TRUE(simulator->requests(host(3), u"GetZoneGroupState"_s).isEmpty());
    ASSERT_TRUE(test::waitUntil([&] { return h.models().size() == 6; }));
    EXPECT_EQ(h.models().value(uuid(1)), u"Sonos Arc"_s);
    EXPECT_EQ(SpeakerGroup::decodeList(*settings->data(HouseholdKeys::lastGroups))->size(), 3);

    // Garten leaves its group for the kitchen's.
    simulator->update([](sim::FakeHousehold& fake) {
        fake.groups[2].members.removeAll(uuid(6));
        fake.groups[0].members.append(uuid(6));
    });
    refresh();
    // Rooms within a group follow the room order, whatever the topology's order.
    EXPECT_EQ(groupMembers(), (QStringList{u"Arbeitszimmer"_s, u"Bad+Flur"_s, u"Garten+Küche+Wohnzimmer"_s}));
    // No model is looked up twice.
    int descriptions = 0;
    for (const auto& request : simulator->requests())
        descriptions += request.path == "/xml/device_description.xml" ? 1 : 0;
    EXPECT_EQ(descriptions, 6);
}

TEST_F(HouseholdLive, ARestartShowsTheLastGroupsStoppedUntilTheFirstRefresh) {
    make();
    refresh();
    simulator->update([](sim::FakeHousehold& fake) {
        fake.groups[1].members.removeAll(uuid(4));
        fake.groups.append({uuid(4) + u":9"_s, uuid(4), {uuid(4)}});
    });
    Household& h = make();
    ASSERT_EQ(h.groups().size(), 3);
    for (const SpeakerGroup& g : h.groups())
        EXPECT_EQ(g.state, u"STOPPED"_s);
    EXPECT_FALSE(h.live());
    refresh();
    EXPECT_EQ(groupMembers(),
              (QStringList{u"Arbeitszimmer+Garten"_s, u"Bad"_s, u"Flur"_s, u"Küche+Wohnzimmer"_s}));
}

TEST_F(HouseholdLive, AVanishedHostIsSkippedSilently) {
    simulator->setOffline(host(1), true);
    Household& h = make();
    refresh();
    EXPECT_FALSE(h.error());
    EXPECT_EQ(h.groups().size(), 3);
    EXPECT_EQ(simulator->requests(host(3), u"GetZoneGroupState"_s).size(), 1);
}

// While live with groups, the last state stays through two failed refreshes; the third
// shows the text by the failure of the last host asked, and an answer again clears it.
TEST_F(HouseholdLive, FailuresKeepTheLastStateAndShowTheirTextByTheRules) {
    Household& h = make();
    refresh();
    ASSERT_EQ(h.groups().size(), 3);
    struct Case {
        const char* name;
        sim::Fault fault;
        QString text;
    };
    const Case cases[] = {
        {"500", sim::Fault::upnp(u"501"_s), u"GetZoneGroupState failed (UPnP 501)"_s},
        {"403", sim::Fault::httpStatus(403), u"GetZoneGroupState failed (UPnP ?)"_s},
        {"offline", sim::Fault{}, HouseholdTexts::unreachable()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int n : {1, 3, 5}) {
            if (c.fault.kind == sim::Fault::Kind::none)
                simulator->setOffline(host(n), true);
            else
                simulator->setFault(host(n), u"GetZoneGroupState"_s, c.fault);
        }
        refresh();
        refresh();
        EXPECT_FALSE(h.error());
        EXPECT_EQ(h.groups().size(), 3);
        refresh();
        EXPECT_EQ(h.error(), c.text);
        EXPECT_EQ(h.groups().size(), 3);

        simulator->clearFaults();
        for (int n : {1, 3, 5})
            simulator->setOffline(host(n), false);
        refresh();
        EXPECT_TRUE(h.live());
        EXPECT_EQ(h.groups().size(), 3);
        // The refresh's own reachability texts clear; a speaker's own description stays
        // until it clears itself.
        if (c.fault.kind == sim::Fault::Kind::none)
            EXPECT_FALSE(h.error());
        else
            EXPECT_EQ(h.error(), c.text);
        h.setError(std::nullopt);
    }
}

TEST_F(HouseholdLive, AHangingSpeakerReadsAsUnreachableForANewHousehold) {
    settings->setTextList(HouseholdKeys::knownHosts, {host(1)});
    simulator->setFault(host(1), u"GetZoneGroupState"_s, sim::Fault::silence());
    Household& h = make();
    refresh();
    EXPECT_EQ(h.error(), HouseholdTexts::unreachable());
    EXPECT_TRUE(h.groups().isEmpty());
    simulator->clearFaults();
    refresh();
    EXPECT_FALSE(h.error());
    EXPECT_EQ(h.groups().size(), 3);
}

// Another controller starts playback, turns a room and a group; the next refresh shows it all.
TEST_F(HouseholdLive, ChangesFromOutsideShowAfterTheNextRefresh) {
    Household& h = make();
    refresh();
    ASSERT_EQ(groupWith(u"Garten"_s).state, u"STOPPED"_s);
    ASSERT_EQ(roomNamed(u"Flur"_s).volume, 20);
    ASSERT_FALSE(roomNamed(u"Flur"_s).muted);
    ASSERT_EQ(groupWith(u"Küche"_s).volume, 20);

    simulator->update([](sim::FakeHousehold& fake) {
        sim::TransportState& transport = fake.speakerByUuid(uuid(5))->transport;
        transport.state = u"PLAYING"_s;
        transport.trackUri = u"x-file-cifs://nas/other.mp3"_s;
        transport.trackMetaData =
            sim::trackMetaData(u"Andere Musik"_s, u"Jemand"_s, u"Album"_s, transport.trackUri);
        sim::RoomState& flur = fake.speakerByUuid(uuid(4))->room;
        flur.volume = 35;
        flur.mute = true;
    });
    // The kitchen group's volume, set on its coordinator as any controller sets it.
    test::run(SOAP::call(host(1), Service::groupRenderingControl, u"SetGroupVolume"_s,
                         {{u"InstanceID"_s, u"0"_s}, {u"DesiredVolume"_s, u"60"_s}}));
    QSignalSpy published(&h, &Household::groupsChanged);
    refresh();
    EXPECT_EQ(published.count(), 1);

    const SpeakerGroup& garden = groupWith(u"Garten"_s);
    EXPECT_EQ(garden.state, u"PLAYING"_s);
    EXPECT_EQ(garden.title, u"Andere Musik"_s);
    EXPECT_EQ(garden.artist, u"Jemand"_s);
    EXPECT_EQ(roomNamed(u"Flur"_s).volume, 35);
    EXPECT_TRUE(roomNamed(u"Flur"_s).muted);
    EXPECT_EQ(roomNamed(u"Bad"_s).volume, 20);
    EXPECT_EQ(groupWith(u"Flur"_s).volume, 28); // the speakers' rounded mean of 20 and 35
    EXPECT_FALSE(groupWith(u"Flur"_s).muted);
    EXPECT_EQ(groupWith(u"Küche"_s).volume, 60);
    for (const Room& r : groupWith(u"Küche"_s).rooms)
        EXPECT_EQ(r.volume, 60) << r.name.toStdString();
    // The stored snapshot follows as well.
    const auto stored = SpeakerGroup::decodeList(*settings->data(HouseholdKeys::lastGroups));
    ASSERT_TRUE(stored);
    const auto kitchen = std::find_if(stored->cbegin(), stored->cend(),
                                      [](const SpeakerGroup& g) { return g.coordinatorID == uuid(1); });
    ASSERT_NE(kitchen, stored->cend());
    EXPECT_EQ(kitchen->volume, 60);
}

// A value the user just changed outranks the poll for 2.0 s after its stamp; from then on the
// speakers' word holds again. Values nobody touched follow the speakers throughout.
TEST_F(HouseholdLive, ALocalChangeOutranksThePollForTwoSeconds) {
    Clock::useManual();
    Household& h = make();
    refresh();
    HouseholdProbe probe{h};

    // What the transport and volume operations publish and stamp before their requests go:
    // the kitchen group paused, louder and muted; the hall quieter and muted.
    QList<SpeakerGroup> local = h.groups();
    for (SpeakerGroup& g : local) {
        if (g.coordinatorID == uuid(1)) {
            g.state = u"PAUSED_PLAYBACK"_s;
            g.volume = 80;
            g.muted = true;
            for (ChangedValue value : {ChangedValue::state, ChangedValue::volume, ChangedValue::mute})
                probe.recentlyChanged().insert({value, g.id}, Clock::monotonic());
        }
        for (Room& r : g.rooms)
            if (r.id == uuid(4)) {
                r.volume = 5;
                r.muted = true;
                for (ChangedValue value : {ChangedValue::roomVolume, ChangedValue::roomMute})
                    probe.recentlyChanged().insert({value, r.id}, Clock::monotonic());
            }
    }
    probe.setGroups(local);
    // Meanwhile another controller turns the bathroom and the garden up, which nobody here
    // touched: those follow the speakers at once, the hall's room-mate included.
    simulator->update([](sim::FakeHousehold& fake) {
        fake.speakerByUuid(uuid(3))->room.volume = 33;
        fake.speakerByUuid(uuid(6))->room.volume = 50;
    });

    struct Moment {
        const char* name;
        std::chrono::milliseconds after; // since the previous moment
        QString kitchenState;
        int kitchenVolume;
        bool kitchenMuted;
        int hallVolume;
        bool hallMuted;
    };
    const Moment moments[] = {
        {"within the window", 1999ms, u"PAUSED_PLAYBACK"_s, 80, true, 5, true},
        // Exactly 2.0 s after the stamps the window is over.
        {"after the window", 1ms, u"PLAYING"_s, 20, false, 20, false},
    };
    for (const Moment& m : moments) {
        SCOPED_TRACE(m.name);
        Clock::advance(m.after);
        refresh();
        EXPECT_EQ(groupWith(u"Küche"_s).state, m.kitchenState);
        EXPECT_EQ(groupWith(u"Küche"_s).volume, m.kitchenVolume);
        EXPECT_EQ(groupWith(u"Küche"_s).muted, m.kitchenMuted);
        EXPECT_EQ(roomNamed(u"Flur"_s).volume, m.hallVolume);
        EXPECT_EQ(roomNamed(u"Flur"_s).muted, m.hallMuted);
        EXPECT_EQ(roomNamed(u"Bad"_s).volume, 33);
        EXPECT_EQ(roomNamed(u"Garten"_s).volume, 50);
    }
}

} // namespace
