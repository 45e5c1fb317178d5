#include "core/Clock.h"
#include "household/Room.h"
#include "household/RoomPreset.h"
#include "household/SpeakerGroup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

Room room(const char* id, const char* name = "Küche", int volume = 20) {
    return Room{.id = QString::fromUtf8(id),
                .name = QString::fromUtf8(name),
                .host = QStringLiteral("192.168.1.20"),
                .volume = volume,
                .muted = false};
}

QDateTime utc(const char* iso) {
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs);
}

// A group with every field away from its initial value and every optional present.
SpeakerGroup fullGroup() {
    return SpeakerGroup{
        .id = QStringLiteral("RINCON_000E58A1:42"),
        .coordinatorID = QStringLiteral("RINCON_B"),
        .rooms = {room("RINCON_A", "Bad \"oben\"", 12), Room{.id = QStringLiteral("RINCON_B"),
                                                             .name = QStringLiteral("Wohnzimmer / TV"),
                                                             .host = QStringLiteral("192.168.1.21"),
                                                             .volume = 100,
                                                             .muted = true}},
        .state = QStringLiteral("PAUSED_PLAYBACK"),
        .title = QStringLiteral("Ex's & Oh's"),
        .artist = QStringLiteral("Elle King"),
        .artURL =
            QUrl(QStringLiteral("http://192.168.1.21:1400/getaa?s=1&u=x-sonos-spotify%3aspotify%253atrack")),
        .spotifyURL = QUrl(QStringLiteral("spotify:track:70eDxAyAraNTiD6lx2ZEnH")),
        .appleMusicURL = QUrl(QStringLiteral("https://music.apple.com/song/123")),
        .viaAirPlay = true,
        .viaTV = true,
        .canSkip = false,
        .tvFormat = 33554434,
        .nightMode = true,
        .speechBoost = false,
        .tvHost = QStringLiteral("192.168.1.21"),
        .hasTrack = true,
        .volume = 37,
        .muted = true,
        .position = 83.5,
        .positionAt = utc("2025-06-01T12:00:00.125Z"),
        .duration = 202.0,
        .sleepRemaining = 1799.25,
        .sleepAt = utc("2001-01-01T00:01:40.250Z"),
    };
}

SpeakerGroup minimalGroup() {
    return SpeakerGroup{.id = QStringLiteral("RINCON_C:7"),
                        .coordinatorID = QStringLiteral("RINCON_C"),
                        .rooms = {room("RINCON_C", "Büro")},
                        .positionAt = utc("2024-01-01T00:00:00.000Z"),
                        .sleepAt = utc("2024-01-01T00:00:00.000Z")};
}

void expectSameGroup(const SpeakerGroup& a, const SpeakerGroup& b) {
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.coordinatorID, b.coordinatorID);
    EXPECT_EQ(a.rooms, b.rooms);
    EXPECT_EQ(a.state, b.state);
    EXPECT_EQ(a.title, b.title);
    EXPECT_EQ(a.artist, b.artist);
    EXPECT_EQ(a.artURL, b.artURL);
    EXPECT_EQ(a.spotifyURL, b.spotifyURL);
    EXPECT_EQ(a.appleMusicURL, b.appleMusicURL);
    EXPECT_EQ(a.viaAirPlay, b.viaAirPlay);
    EXPECT_EQ(a.viaTV, b.viaTV);
    EXPECT_EQ(a.canSkip, b.canSkip);
    EXPECT_EQ(a.tvFormat, b.tvFormat);
    EXPECT_EQ(a.nightMode, b.nightMode);
    EXPECT_EQ(a.speechBoost, b.speechBoost);
    EXPECT_EQ(a.tvHost, b.tvHost);
    EXPECT_EQ(a.hasTrack, b.hasTrack);
    EXPECT_EQ(a.volume, b.volume);
    EXPECT_EQ(a.muted, b.muted);
    EXPECT_EQ(a.position, b.position);
    EXPECT_EQ(a.positionAt, b.positionAt);
    EXPECT_EQ(a.duration, b.duration);
    EXPECT_EQ(a.sleepRemaining, b.sleepRemaining);
    EXPECT_EQ(a.sleepAt, b.sleepAt);
}

QJsonObject encodedObject(const SpeakerGroup& group) {
    const std::optional<QByteArray> data = SpeakerGroup::encodeList({group});
    EXPECT_TRUE(data.has_value());
    return QJsonDocument::fromJson(data.value_or("[{}]")).array().first().toObject();
}

QByteArray documentOf(const QJsonObject& group) {
    return QJsonDocument(QJsonArray{group}).toJson(QJsonDocument::Compact);
}

// --- Room ---------------------------------------------------------------------------------

TEST(RecordsTest, RoomsAreEqualOnlyWhenAllFiveFieldsAre) {
    const Room base = room("RINCON_A");
    const std::pair<const char*, std::function<void(Room&)>> changes[] = {
        {"id", [](Room& r) { r.id = QStringLiteral("RINCON_Z"); }},
        {"name", [](Room& r) { r.name = QStringLiteral("Bad"); }},
        {"host", [](Room& r) { r.host = QStringLiteral("192.168.1.99"); }},
        {"volume", [](Room& r) { r.volume += 1; }},
        {"muted", [](Room& r) { r.muted = !r.muted; }},
    };
    for (const auto& [field, change] : changes) {
        Room other = base;
        change(other);
        EXPECT_NE(base, other) << field;
    }
    const Room copy = base;
    EXPECT_EQ(base, copy);
    EXPECT_EQ(qHash(base), qHash(copy));
    EXPECT_EQ((QSet<Room>{base, copy, room("RINCON_A", "Küche", 21)}).size(), 2);
}

// --- SpeakerGroup -------------------------------------------------------------------------

TEST(RecordsTest, ATopologyGroupStartsAtItsInitialValues) {
    Clock::useManual();
    const SpeakerGroup g{
        .id = QStringLiteral("G:1"), .coordinatorID = QStringLiteral("A"), .rooms = {room("A")}};
    EXPECT_EQ(g.state, QStringLiteral("STOPPED"));
    EXPECT_TRUE(g.title.isEmpty());
    EXPECT_TRUE(g.artist.isEmpty());
    EXPECT_FALSE(g.artURL || g.spotifyURL || g.appleMusicURL || g.tvFormat || g.nightMode || g.speechBoost ||
                 g.tvHost || g.duration || g.sleepRemaining);
    EXPECT_FALSE(g.viaAirPlay || g.viaTV || g.hasTrack || g.muted);
    EXPECT_TRUE(g.canSkip);
    EXPECT_EQ(g.volume, 0);
    EXPECT_EQ(g.position, 0.0);
    EXPECT_EQ(g.positionAt, Clock::now());
    EXPECT_EQ(g.sleepAt, Clock::now());
    Clock::useReal();
}

TEST(RecordsTest, CoordinatorIsTheNamedRoomElseTheFirst) {
    SpeakerGroup g{.id = QStringLiteral("G:1"),
                   .coordinatorID = QStringLiteral("B"),
                   .rooms = {room("A"), room("B"), room("C")}};
    EXPECT_EQ(g.coordinator().id, QStringLiteral("B"));
    g.coordinatorID = QStringLiteral("b"); // exact comparison
    EXPECT_EQ(g.coordinator().id, QStringLiteral("A"));
    g.coordinatorID = QStringLiteral("GONE");
    EXPECT_EQ(g.coordinator(), g.rooms.first());
    g.rooms.clear();
    EXPECT_EQ(g.coordinator(), Room{});
}

TEST(RecordsTest, MemberKeyNamesTheSetOfRooms) {
    const auto key = [](QList<Room> rooms) { return SpeakerGroup{.rooms = std::move(rooms)}.memberKey(); };
    EXPECT_EQ(key({room("RINCON_B"), room("RINCON_A")}), QStringLiteral("RINCON_A,RINCON_B"));
    EXPECT_EQ(key({room("RINCON_A"), room("RINCON_B")}), QStringLiteral("RINCON_A,RINCON_B"));
    EXPECT_EQ(key({room("RINCON_A")}), QStringLiteral("RINCON_A"));
    // Code-unit order: upper case before lower case, digits before letters.
    EXPECT_EQ(key({room("b"), room("B"), room("1")}), QStringLiteral("1,B,b"));
}

TEST(RecordsTest, GroupListRoundTripsThroughItsStoredForm) {
    const QList<SpeakerGroup> groups{fullGroup(), minimalGroup()};
    const std::optional<QByteArray> data = SpeakerGroup::encodeList(groups);
    ASSERT_TRUE(data.has_value());
    const std::optional<QList<SpeakerGroup>> back = SpeakerGroup::decodeList(*data);
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->size(), 2);
    expectSameGroup(back->at(0), groups[0]);
    expectSameGroup(back->at(1), groups[1]);

    const std::optional<QByteArray> empty = SpeakerGroup::encodeList({});
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(SpeakerGroup::decodeList(*empty).value_or(QList<SpeakerGroup>{fullGroup()}).size(), 0);
}

TEST(RecordsTest, GroupObjectsUseTheStoredValueForms) {
    const QJsonObject full = encodedObject(fullGroup());
    EXPECT_EQ(full.size(), 24);
    EXPECT_EQ(full["sleepAt"_L1].toDouble(), 100.25); // seconds since 2001-01-01 UTC
    EXPECT_EQ(full["positionAt"_L1].toDouble(), 770472000.125);
    EXPECT_EQ(full["spotifyURL"_L1].toString(), QStringLiteral("spotify:track:70eDxAyAraNTiD6lx2ZEnH"));
    EXPECT_EQ(full["tvFormat"_L1].toInteger(), 33554434);
    EXPECT_TRUE(full["nightMode"_L1].isBool());
    const QJsonObject firstRoom = full["rooms"_L1].toArray().first().toObject();
    const QStringList roomKeys = firstRoom.keys();
    EXPECT_EQ(QSet<QString>(roomKeys.cbegin(), roomKeys.cend()),
              (QSet<QString>{u"id"_s, u"name"_s, u"host"_s, u"volume"_s, u"muted"_s}));

    const QJsonObject minimal = encodedObject(minimalGroup());
    const QStringList keys = minimal.keys();
    EXPECT_EQ(QSet<QString>(keys.cbegin(), keys.cend()),
              (QSet<QString>{u"id"_s, u"coordinatorID"_s, u"rooms"_s, u"state"_s, u"title"_s, u"artist"_s,
                             u"viaAirPlay"_s, u"viaTV"_s, u"canSkip"_s, u"hasTrack"_s, u"volume"_s,
                             u"muted"_s, u"position"_s, u"positionAt"_s, u"sleepAt"_s}));
    EXPECT_EQ(minimal["sleepAt"_L1].toDouble(), 725760000.0);
}

// A document as another writer of the same form would store it: other key order, escaped
// slashes, nulls for absent optionals and a key this version does not know.
TEST(RecordsTest, ReadsAForeignButValidDocument) {
    const QByteArray text = R"([{"sleepAt":-3600.5,"positionAt":0,"position":12,"muted":false,"volume":5,
        "hasTrack":true,"canSkip":true,"viaTV":false,"viaAirPlay":false,"artist":"","title":"Radio \u00dc",
        "state":"PLAYING","rooms":[{"muted":true,"volume":3,"host":"10.0.0.2","name":"Bad","id":"RINCON_X"}],
        "coordinatorID":"RINCON_X","id":"RINCON_X:1","artURL":"http:\/\/10.0.0.2:1400\/getaa?s=1",
        "duration":null,"tvHost":null,"nightMode":null,"groupColor":"blue"}])";
    const std::optional<QList<SpeakerGroup>> groups = SpeakerGroup::decodeList(text);
    ASSERT_TRUE(groups.has_value());
    ASSERT_EQ(groups->size(), 1);
    const SpeakerGroup& g = groups->first();
    EXPECT_EQ(g.title, QStringLiteral("Radio Ü"));
    EXPECT_EQ(g.artURL, QUrl(QStringLiteral("http://10.0.0.2:1400/getaa?s=1")));
    EXPECT_FALSE(g.duration || g.tvHost || g.nightMode || g.speechBoost);
    EXPECT_EQ(g.position, 12.0);
    EXPECT_EQ(g.positionAt, utc("2001-01-01T00:00:00.000Z"));
    EXPECT_EQ(g.sleepAt, utc("2000-12-31T22:59:59.500Z"));
    EXPECT_EQ(g.rooms, (QList<Room>{Room{u"RINCON_X"_s, u"Bad"_s, u"10.0.0.2"_s, 3, true}}));
}

struct Corruption {
    const char* name;
    std::function<void(QJsonObject&)> apply;
};

void setInRoom(QJsonObject& group, const char* key, const QJsonValue& value) {
    QJsonArray rooms = group["rooms"_L1].toArray();
    QJsonObject first = rooms.first().toObject();
    if (value.isUndefined())
        first.remove(QLatin1StringView(key));
    else
        first.insert(QLatin1StringView(key), value);
    rooms.replace(0, first);
    group.insert("rooms"_L1, rooms);
}

TEST(RecordsTest, AnyDamageFailsTheWholeGroupDocument) {
    std::vector<Corruption> cases;
    for (const char* key : {"id", "coordinatorID", "rooms", "state", "title", "artist", "viaAirPlay", "viaTV",
                            "canSkip", "hasTrack", "volume", "muted", "position", "positionAt", "sleepAt"}) {
        cases.push_back({key, [key](QJsonObject& g) { g.remove(QLatin1StringView(key)); }});
        cases.push_back({key, [key](QJsonObject& g) { g.insert(QLatin1StringView(key), QJsonValue::Null); }});
    }
    const std::pair<const char*, QJsonValue> wrongTypes[] = {
        {"id", 7},
        {"title", false},
        {"rooms", QJsonObject{}},
        {"canSkip", 1},
        {"canSkip", u"true"_s},
        {"volume", u"20"_s},
        {"volume", 20.5},
        {"volume", 1e10},
        {"position", u"83.5"_s},
        {"positionAt", u"2025-06-01T12:00:00Z"_s},
        {"positionAt", 1e300},
        {"artURL", 5},
        {"artURL", u""_s},
        {"artURL", u"http://[::1"_s},
        {"spotifyURL", u"spotify:track:has space"_s},
        {"appleMusicURL", QJsonArray{}},
        {"tvFormat", u"33554434"_s},
        {"tvFormat", 1.5},
        {"nightMode", u"1"_s},
        {"speechBoost", 0},
        {"tvHost", 19216812},
        {"duration", u"0:03:22"_s},
        {"sleepRemaining", true},
    };
    for (const auto& [key, value] : wrongTypes)
        cases.push_back({key, [key, value](QJsonObject& g) { g.insert(QLatin1StringView(key), value); }});
    cases.push_back({"rooms empty", [](QJsonObject& g) { g.insert("rooms"_L1, QJsonArray{}); }});
    cases.push_back({"room not an object", [](QJsonObject& g) { g.insert("rooms"_L1, QJsonArray{u"A"_s}); }});
    for (const char* key : {"id", "name", "host", "volume", "muted"})
        cases.push_back({key, [key](QJsonObject& g) { setInRoom(g, key, QJsonValue::Undefined); }});
    cases.push_back({"room volume text", [](QJsonObject& g) { setInRoom(g, "volume", u"3"_s); }});
    cases.push_back({"room muted null", [](QJsonObject& g) { setInRoom(g, "muted", QJsonValue::Null); }});

    const QJsonObject good = encodedObject(fullGroup());
    const QJsonObject second = encodedObject(minimalGroup());
    ASSERT_TRUE(SpeakerGroup::decodeList(QJsonDocument(QJsonArray{good, second}).toJson()).has_value());
    for (const Corruption& c : cases) {
        QJsonObject damaged = good;
        c.apply(damaged);
        // The damaged group sits behind a sound one: no partial list comes back.
        EXPECT_FALSE(
            SpeakerGroup::decodeList(QJsonDocument(QJsonArray{second, damaged}).toJson()).has_value())
            << c.name;
    }
}

TEST(RecordsTest, DocumentsThatAreNotGroupArraysFail) {
    const QByteArray good = documentOf(encodedObject(minimalGroup()));
    const QByteArray texts[] = {
        "",
        "not json",
        "{}",
        "null",
        "[1]",
        "[[]]",
        "[null]",
        good + "]",
        good.left(good.size() - 2),
        // A literal beyond a double's range must never become an infinite position.
        QByteArray(good).replace("\"position\":0", "\"position\":1e999"),
    };
    for (const QByteArray& text : texts)
        EXPECT_FALSE(SpeakerGroup::decodeList(text).has_value()) << text.constData();
}

TEST(RecordsTest, ANumberJsonCannotHoldFailsTheWholeEncode) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, std::function<void(SpeakerGroup&)>> cases[] = {
        {"position NaN", [&](SpeakerGroup& g) { g.position = nan; }},
        {"position infinite", [&](SpeakerGroup& g) { g.position = -inf; }},
        {"duration infinite", [&](SpeakerGroup& g) { g.duration = inf; }},
        {"sleepRemaining NaN", [&](SpeakerGroup& g) { g.sleepRemaining = nan; }},
        {"invalid positionAt", [](SpeakerGroup& g) { g.positionAt = QDateTime(); }},
        {"invalid artURL", [](SpeakerGroup& g) { g.artURL = QUrl(); }},
        {"no rooms", [](SpeakerGroup& g) { g.rooms.clear(); }},
    };
    for (const auto& [name, change] : cases) {
        SpeakerGroup broken = minimalGroup();
        change(broken);
        EXPECT_FALSE(SpeakerGroup::encodeList({fullGroup(), broken}).has_value()) << name;
        EXPECT_FALSE(broken.toJson().has_value()) << name;
    }
}

// --- RoomPreset ---------------------------------------------------------------------------

TEST(RecordsTest, PresetsKeepTheirIdsAndRoomOrder) {
    const RoomPreset ab{.roomIDs = {u"RINCON_A"_s, u"RINCON_B"_s}};
    const RoomPreset ba{.id = ab.id, .roomIDs = {u"RINCON_B"_s, u"RINCON_A"_s}};
    const RoomPreset fresh{.roomIDs = ab.roomIDs};
    EXPECT_FALSE(ab.id.isNull());
    EXPECT_NE(ab.id, fresh.id); // each new preset gets its own id
    EXPECT_NE(ab, fresh);
    EXPECT_NE(ab, ba); // same rooms, other order
    EXPECT_EQ(QSet<RoomPreset>({ab, ba, ab}).size(), 2);

    const QList<RoomPreset> presets{ab, ba, fresh, RoomPreset{.roomIDs = {}}};
    const QByteArray data = RoomPreset::encodeList(presets);
    EXPECT_EQ(RoomPreset::decodeList(data), presets);

    const QJsonObject first = QJsonDocument::fromJson(data).array().first().toObject();
    EXPECT_EQ(first.size(), 2);
    EXPECT_EQ(first["id"_L1].toString(), ab.id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(first["roomIDs"_L1].toArray(), (QJsonArray{u"RINCON_A"_s, u"RINCON_B"_s}));
}

TEST(RecordsTest, PresetDocumentsReadStrictly) {
    const QUuid id = QUuid::fromString(u"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"_s);
    const std::pair<const char*, std::optional<QList<RoomPreset>>> cases[] = {
        {R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","roomIDs":["A","B"]}])",
         QList<RoomPreset>{{id, {u"A"_s, u"B"_s}}}},
        {R"([{"roomIDs":[],"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","name":"later"}])",
         QList<RoomPreset>{{id, {}}}},
        {R"([])", QList<RoomPreset>{}},
        {R"([{"id":"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}","roomIDs":[]}])", std::nullopt},
        {R"([{"id":"E621E1F8C36C495A93FC0C247A3E6E5F","roomIDs":[]}])", std::nullopt},
        {R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5G","roomIDs":[]}])", std::nullopt},
        {R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F"}])", std::nullopt},
        {R"([{"roomIDs":["A"]}])", std::nullopt},
        {R"([{"id":42,"roomIDs":["A"]}])", std::nullopt},
        {R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","roomIDs":"A"}])", std::nullopt},
        {R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","roomIDs":["A",1]}])", std::nullopt},
        {R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","roomIDs":["A",null]}])", std::nullopt},
        {R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","roomIDs":["A"]},{}])", std::nullopt},
        {R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","roomIDs":["A"]})", std::nullopt},
        {"garbage", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(RoomPreset::decodeList(QByteArray(text)), expected) << text;
}

} // namespace
