#include "household/RoomOrder.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

Room room(const QString& id, const QString& name) {
    return Room{.id = id, .name = name, .host = u"h"_s, .volume = 0, .muted = false};
}

SpeakerGroup group(const QString& id, QList<Room> rooms) {
    return SpeakerGroup{.id = id, .coordinatorID = rooms.first().id, .rooms = std::move(rooms)};
}

QStringList ids(const QList<SpeakerGroup>& groups) {
    QStringList out;
    for (const SpeakerGroup& g : groups)
        out.append(g.id);
    return out;
}

TEST(RoomOrder, NewRoomsJoinByNameAfterTheKnownOnesEachOnce) {
    RoomOrder order({u"K"_s});
    // The same room in two groups (a read during a regrouping) is learnt once.
    EXPECT_TRUE(order.learn({group(u"G1"_s, {room(u"K"_s, u"Aaa"_s), room(u"b"_s, u"bath"_s)}),
                             group(u"G2"_s, {room(u"a"_s, u"Attic"_s), room(u"b"_s, u"bath"_s)})}));
    EXPECT_EQ(order.ids(), (QStringList{u"K"_s, u"a"_s, u"b"_s}));
    EXPECT_FALSE(order.learn({group(u"G1"_s, {room(u"b"_s, u"bath"_s)})}));
    EXPECT_EQ(order.ids().size(), 3); // a room away keeps its place
}

TEST(RoomOrder, GroupsGoByTheirBestPlacedRoomAndUnknownRoomsLast) {
    const RoomOrder order({u"D"_s, u"C"_s, u"B"_s});
    const QList<SpeakerGroup> sorted =
        order.sorted({group(u"unknown1"_s, {room(u"X"_s, u"x"_s)}), group(u"G1"_s, {room(u"B"_s, u"b"_s)}),
                      group(u"G2"_s, {room(u"B2"_s, u"b"_s), room(u"C"_s, u"c"_s)}),
                      group(u"unknown2"_s, {room(u"Y"_s, u"y"_s)}), group(u"G3"_s, {room(u"D"_s, u"d"_s)})});
    EXPECT_EQ(ids(sorted), (QStringList{u"G3"_s, u"G2"_s, u"G1"_s, u"unknown1"_s, u"unknown2"_s}));

    QList<Room> rooms{room(u"X"_s, u"x"_s), room(u"B"_s, u"b"_s), room(u"Y"_s, u"y"_s), room(u"D"_s, u"d"_s)};
    order.sortRooms(rooms);
    QStringList roomIDs;
    for (const Room& r : rooms)
        roomIDs.append(r.id);
    EXPECT_EQ(roomIDs, (QStringList{u"D"_s, u"B"_s, u"X"_s, u"Y"_s}));
}

} // namespace
