#include "household/PresetList.h"
#include "core/Texts.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

Room room(const QString& id) {
    return Room{.id = id, .name = u"Room "_s + id, .host = u"h"_s, .volume = 0, .muted = false};
}

SpeakerGroup group(const QStringList& ids) {
    SpeakerGroup g{.id = u"G"_s, .coordinatorID = ids.value(0), .rooms = {}};
    for (const QString& id : ids)
        g.rooms.append(room(id));
    return g;
}

TEST(PresetList, ASetOfRoomsIsSavedOnceAndMatchesInAnyOrder) {
    PresetList presets;
    ASSERT_TRUE(presets.add(group({u"A"_s, u"B"_s, u"A"_s})));
    EXPECT_EQ(presets.list().first().roomIDs, (QStringList{u"A"_s, u"B"_s}));
    EXPECT_FALSE(presets.add(group({u"B"_s, u"A"_s})));
    EXPECT_TRUE(presets.matching(group({u"B"_s, u"A"_s})));
    EXPECT_FALSE(presets.matching(group({u"A"_s})));
    EXPECT_FALSE(presets.matching(group({u"A"_s, u"B"_s, u"C"_s})));
    EXPECT_FALSE(presets.add(group({}))); // it would match and apply to nothing
    EXPECT_EQ(presets.list().size(), 1);
}

TEST(PresetList, NoMoreThanNineAndRemovalGoesById) {
    PresetList presets;
    for (int i = 0; i < 12; ++i)
        presets.add(group({QString::number(i)}));
    ASSERT_EQ(presets.list().size(), PresetList::limit);
    const RoomPreset first = presets.list().first();
    presets.remove(RoomPreset{.roomIDs = first.roomIDs}); // same rooms, other id: not this one
    EXPECT_EQ(presets.list().size(), PresetList::limit);
    presets.remove(first);
    EXPECT_EQ(presets.list().size(), PresetList::limit - 1);
    EXPECT_TRUE(presets.add(group({u"new"_s})));
}

TEST(PresetList, NamesFollowTheRoomsPresent) {
    const QList<Room> rooms{room(u"A"_s), room(u"B"_s), room(u"A"_s), room(u"C"_s)};
    struct Case {
        QStringList ids;
        QString name;
    };
    const QList<Case> cases = {
        {{u"C"_s, u"A"_s, u"B"_s}, L(u"Alle"_s)},
        {{u"C"_s, u"A"_s}, u"Room A + Room C"_s}, // in room order, each room once
        {{u"B"_s, u"gone"_s}, u"Room B"_s},
        {{u"gone"_s}, L(u"Unbekannte Räume"_s)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PresetList::name(RoomPreset{.roomIDs = c.ids}, rooms), c.name)
            << c.ids.join(u',').toStdString();
    // A household of one room: its preset is named after the room, not "Alle".
    EXPECT_EQ(PresetList::name(RoomPreset{.roomIDs = {u"A"_s}}, {room(u"A"_s)}), u"Room A"_s);
    EXPECT_EQ(PresetList::present(RoomPreset{.roomIDs = {u"A"_s, u"gone"_s}}, rooms), QSet<QString>{u"A"_s});
}

} // namespace
