// Renaming: custom group names kept by the household, room names written to the speakers.
#include "SimulatedHousehold.h"
#include "household/HouseholdTexts.h"

using namespace Qt::StringLiterals;
using namespace simulated;

namespace {

using Args = QList<QPair<QString, QString>>;
using Commands = QList<QPair<QString, Args>>;

// Küche alone; Wohnzimmer with Bad and Flur; Garten with Keller.
sim::FakeHousehold sixRooms() {
    sim::FakeHousehold fake =
        household({u"Küche"_s, u"Wohnzimmer"_s, u"Bad"_s, u"Flur"_s, u"Garten"_s, u"Keller"_s},
                  {{1}, {2, 3, 4}, {5, 6}});
    sim::RoomState& kitchen = fake.speakers[0].room;
    kitchen.icon = u"x-rincon-roomicon:kitchen"_s;
    kitchen.configuration = u"7"_s;
    kitchen.targetRoomName = u"Küche & Essen"_s;
    return fake;
}

class Renaming : public SimulatedHousehold {
protected:
    const Room& roomNamed(const QString& name) const {
        for (const SpeakerGroup& g : household->groups())
            for (const Room& r : g.rooms)
                if (r.name == name)
                    return r;
        throw std::runtime_error("no such room");
    }
    QStringList roomNames() const {
        QStringList names;
        for (const Room& r : household->allRooms())
            names.append(r.name);
        return names;
    }
};

TEST(RenamingTrim, SpacesAndTabsGoLineBreaksStay) {
    const QPair<QString, QString> cases[] = {
        {u"  Oben  "_s, u"Oben"_s},
        {u"\tOben\t"_s, u"Oben"_s},
        {u"\u00A0Oben\u3000"_s, u"Oben"_s},       // no-break and ideographic space
        {u"\u2003\u202FOben\u205F"_s, u"Oben"_s}, // em, narrow no-break, medium mathematical space
        {u"Erd geschoss"_s, u"Erd geschoss"_s},
        {u"\nOben\n"_s, u"\nOben\n"_s},
        {u" \r\nOben "_s, u"\r\nOben"_s},
        {u" \t\u00A0 "_s, u""_s},
        {u""_s, u""_s},
        {u"\u200BOben"_s, u"\u200BOben"_s}, // a zero-width space is no space separator
    };
    for (const auto& [name, trimmed] : cases)
        EXPECT_EQ(Household::trimmedName(name), trimmed) << name.toStdString();
}

// A group of several rooms keeps a name of the household's own, under the set of its rooms;
// the speakers hear nothing of it.
TEST_F(Renaming, AGroupNameIsLocalTrimmedAndFollowsTheSetOfRooms) {
    Household& h = start(sixRooms());
    const SpeakerGroup living = groupOf(uuid(2));
    ASSERT_EQ(living.rooms.size(), 3);
    QSignalSpy changed(&h, &Household::groupNamesChanged);
    test::run(h.rename(living, u"  Erdgeschoss \t"_s));
    EXPECT_EQ(changed.count(), 1);
    const QString key = living.memberKey();
    EXPECT_EQ(h.groupNames(), (QMap<QString, QString>{{key, u"Erdgeschoss"_s}}));
    EXPECT_EQ(settings->textMap(HouseholdKeys::groupNames), h.groupNames());
    EXPECT_EQ(h.displayName(living), u"Erdgeschoss"_s);
    // The same rooms under another group and coordinator show it too.
    SpeakerGroup regrouped = living;
    regrouped.id = u"other"_s;
    regrouped.coordinatorID = uuid(4);
    std::reverse(regrouped.rooms.begin(), regrouped.rooms.end());
    EXPECT_EQ(h.displayName(regrouped), u"Erdgeschoss"_s);

    // A name equal to the generated one is kept all the same; a blank one removes it.
    const SpeakerGroup garden = groupOf(uuid(5));
    const QString generated = h.displayName(garden);
    test::run(h.rename(garden, generated));
    EXPECT_EQ(h.groupNames().value(garden.memberKey()), generated);
    test::run(h.rename(garden, u" \u00A0\t"_s));
    EXPECT_FALSE(h.groupNames().contains(garden.memberKey()));
    EXPECT_EQ(h.displayName(garden), generated);
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(settings->textMap(HouseholdKeys::groupNames),
              (QMap<QString, QString>{{key, u"Erdgeschoss"_s}}));

    EXPECT_TRUE(simulator->requests().isEmpty());
    EXPECT_EQ(refreshes(), 0);

    // Kept across a restart.
    settle();
    household.reset();
    settings.reopen();
    Household again(*settings);
    EXPECT_EQ(again.groupNames(), (QMap<QString, QString>{{key, u"Erdgeschoss"_s}}));
}

// A room is renamed on its own speaker: its zone attributes are read and written back with
// the new name, and the rename ends after the refresh that reads the new name.
TEST_F(Renaming, ARoomIsRenamedOnItsSpeakerKeepingItsOtherAttributes) {
    Household& h = start(sixRooms());
    h.setError(u"earlier"_s);
    const SpeakerGroup kitchen = groupOf(uuid(1));
    ASSERT_EQ(kitchen.rooms.size(), 1);
    // A group of one room goes through its room.
    test::run(h.rename(kitchen, u" Esszimmer\u00A0"_s));
    EXPECT_EQ(commands(*simulator, host(1)),
              (Commands{{u"GetZoneAttributes"_s, {}},
                        {u"SetZoneAttributes"_s,
                         {{u"DesiredZoneName"_s, u"Esszimmer"_s},
                          {u"DesiredIcon"_s, u"x-rincon-roomicon:kitchen"_s},
                          {u"DesiredConfiguration"_s, u"7"_s},
                          {u"DesiredTargetRoomName"_s, u"Küche & Essen"_s}}}}));
    EXPECT_TRUE(h.groupNames().isEmpty());
    EXPECT_FALSE(settings->textMap(HouseholdKeys::groupNames));
    EXPECT_FALSE(h.error());
    EXPECT_EQ(refreshes(), 1);
    EXPECT_EQ(groupOf(uuid(1)).rooms.first().name, u"Esszimmer"_s);
    const sim::FakeSpeaker speaker = simulator->speaker(host(1));
    EXPECT_EQ(speaker.zoneName, u"Esszimmer"_s);
    EXPECT_EQ(speaker.room.icon, u"x-rincon-roomicon:kitchen"_s);

    // A member room goes to its own speaker, not to its group's coordinator.
    simulator->clearRequests();
    test::run(h.rename(roomNamed(u"Bad"_s), u"Badezimmer"_s));
    EXPECT_EQ(commands(*simulator, host(3)).size(), 2);
    EXPECT_TRUE(commands(*simulator, host(2)).isEmpty());
    EXPECT_TRUE(roomNames().contains(u"Badezimmer"_s));
    EXPECT_EQ(h.displayName(groupOf(uuid(2))), u"Wohnzimmer + 2"_s);
}

// The speaker announces its new name to the topology subscribers, and the household reads
// the topology once more after the event's debounce.
TEST_F(Renaming, TheRenamedSpeakerAnnouncesTheNewTopology) {
    Household& h = start(sixRooms(), {}, true);
    test::run(h.rename(roomNamed(u"Garten"_s), u"Terrasse"_s));
    EXPECT_EQ(refreshes(), 1);
    EXPECT_TRUE(roomNames().contains(u"Terrasse"_s));
    ASSERT_TRUE(test::waitUntil([&] {
        for (const sim::SentNotify& sent : simulator->gena().notifies())
            if (sent.status == 200 && sent.body.contains("Terrasse"))
                return true;
        return false;
    }));
    Clock::advance(500ms);
    ASSERT_TRUE(test::waitUntil([&] { return refreshes() == 2; }));
    settle();
    EXPECT_TRUE(roomNames().contains(u"Terrasse"_s));
    EXPECT_FALSE(h.error());
}

TEST_F(Renaming, TheCurrentNameOrABlankOneSendsNothing) {
    Household& h = start(sixRooms());
    h.setError(u"earlier"_s);
    const Room kitchen = roomNamed(u"Küche"_s);
    const QString cases[] = {u"Küche"_s, u"  Küche\t"_s, u"Ku\u0308che"_s, u""_s, u" \t\u3000"_s};
    for (const QString& name : cases) {
        test::run(h.rename(kitchen, name));
        test::run(h.rename(groupOf(uuid(1)), name));
    }
    EXPECT_TRUE(simulator->requests().isEmpty());
    EXPECT_EQ(h.error(), u"earlier"_s);
    EXPECT_TRUE(h.groupNames().isEmpty());
    // A line break is part of a name, so it is a new one.
    test::run(h.rename(kitchen, u"Küche\n"_s));
    EXPECT_EQ(simulator->requests(host(1), u"SetZoneAttributes"_s).value(0).arg(u"DesiredZoneName"_s),
              u"Küche\n"_s);
}

// Whatever of the three values the speaker's reply lacks is written back empty.
TEST_F(Renaming, AttributesMissingFromTheReplyAreWrittenEmpty) {
    Household& h = start(sixRooms());
    const QStringList fields = {u"CurrentIcon"_s, u"CurrentConfiguration"_s, u"CurrentTargetRoomName"_s};
    const QStringList desired = {u"DesiredIcon"_s, u"DesiredConfiguration"_s, u"DesiredTargetRoomName"_s};
    for (qsizetype i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(fields[i].toStdString());
        simulator->update([&](sim::FakeHousehold& fake) {
            sim::FakeSpeaker& speaker = *fake.speakerByHost(host(1));
            speaker.room = sixRooms().speakers[0].room;
            speaker.replyText = {{u"GetZoneAttributes"_s, {{fields[i], std::nullopt}}}};
        });
        simulator->clearRequests();
        const QString name = u"Küche %1"_s.arg(i);
        test::run(h.rename(groupOf(uuid(1)).rooms.first(), name));
        const sim::SimRequest set = simulator->requests(host(1), u"SetZoneAttributes"_s).value(0);
        ASSERT_EQ(set.args.size(), 4);
        EXPECT_EQ(set.arg(u"DesiredZoneName"_s), name);
        for (qsizetype j = 0; j < desired.size(); ++j)
            EXPECT_EQ(set.arg(desired[j]).isEmpty(), i == j) << desired[j].toStdString();
        EXPECT_FALSE(h.error());
        EXPECT_EQ(groupOf(uuid(1)).rooms.first().name, name);
    }
}

// Either request failing shows its text, and the refresh runs all the same, so the list shows
// the name the speaker really has.
TEST_F(Renaming, AFailureShowsItsTextAndStillRefreshes) {
    struct Case {
        const char* name;
        QString failing; // the failing action, or empty for a speaker that is gone
        QStringList sent;
        QString text;
    };
    const Case cases[] = {
        {"get", u"GetZoneAttributes"_s, {u"GetZoneAttributes"_s}, u"GetZoneAttributes failed (UPnP 501)"_s},
        {"set",
         u"SetZoneAttributes"_s,
         {u"GetZoneAttributes"_s, u"SetZoneAttributes"_s},
         u"SetZoneAttributes failed (UPnP 501)"_s},
        {"offline", QString(), {}, HouseholdTexts::unreachable()},
    };
    Household& h = start(sixRooms());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simulator->clearRequests();
        if (c.failing.isEmpty())
            simulator->setOffline(host(3), true);
        else
            simulator->setFault(host(3), c.failing, sim::Fault::upnp(u"501"_s));
        test::run(h.rename(roomNamed(u"Bad"_s), u"Badezimmer"_s));
        QStringList sent;
        for (const auto& [action, args] : commands(*simulator, host(3)))
            sent.append(action);
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(refreshes(), 1);
        // The refresh reached the other speakers; the rename's own failure still shows.
        EXPECT_EQ(h.error(), c.text);
        EXPECT_TRUE(roomNames().contains(u"Bad"_s));
        simulator->clearFaults();
        simulator->setOffline(host(3), false);
        Clock::advance(5s);
        EXPECT_FALSE(h.error());
    }
}

// (The demo household renames nothing on the speakers nor in the settings: DemoHouseholdTest.)

} // namespace
