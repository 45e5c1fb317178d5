#include "household/GroupStateRules.h"
#include "household/Household.h"

#include "support/Await.h"
#include "support/QtPrinters.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <QFile>
#include <QMap>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString spotifyId = u"70eDxAyAraNTiD6lx2ZEnH"_s;
const QDateTime then = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC);
const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

// A two-room group with every polled field set to a recognisable earlier value, so that a test
// can tell "left as it was" from "read anew".
SpeakerGroup earlierGroup() {
    SpeakerGroup group{
        .id = u"RINCON_A01400:7"_s,
        .coordinatorID = u"RINCON_B01400"_s,
        .rooms = {Room{u"RINCON_A01400"_s, u"Kitchen"_s, u"10.0.0.1"_s, 11, true},
                  Room{u"RINCON_B01400"_s, u"Living"_s, u"10.0.0.2"_s, 22, false}},
    };
    group.state = u"PAUSED_PLAYBACK"_s;
    group.title = u"Old title"_s;
    group.artist = u"Old artist"_s;
    group.artURL = QUrl(u"http://10.0.0.2:1400/old.jpg"_s);
    group.spotifyURL = QUrl(u"spotify:track:0000000000000000000000"_s);
    group.appleMusicURL = QUrl(u"https://music.apple.com/song/1"_s);
    group.viaAirPlay = true;
    group.viaTV = false;
    group.canSkip = false;
    group.tvFormat = 7;
    group.nightMode = true;
    group.speechBoost = false;
    group.tvHost = u"10.0.0.9"_s;
    group.hasTrack = true;
    group.volume = 33;
    group.muted = true;
    group.position = 99;
    group.positionAt = then;
    group.duration = 300;
    group.sleepRemaining = 900;
    group.sleepAt = then;
    return group;
}

// ---------------------------------------------------------------------------------------------
// Numbers and times

struct SecondsCase {
    const char* name;
    std::optional<QString> text;
    std::optional<double> seconds;
};

TEST(GroupStatePollingTest, SecondsReadsThreePlainDecimalsOnly) {
    const SecondsCase cases[] = {
        {"no text", std::nullopt, std::nullopt},
        {"empty text", u""_s, std::nullopt},
        {"hours, minutes and seconds", u"1:02:03"_s, 3723},
        {"zero is a value", u"0:00:00"_s, 0},
        {"one-digit pieces", u"0:3:5"_s, 185},
        {"fraction of a second", u"0:00:01.5"_s, 1.5},
        {"fraction without leading digit", u"0:00:.5"_s, 0.5},
        {"empty pieces are dropped", u"::0:01::02:"_s, 62},
        {"pieces beyond their usual range", u"0:75:90"_s, 4590},
        {"marker word of a stream", u"NOT_IMPLEMENTED"_s, std::nullopt},
        {"two pieces", u"03:25"_s, std::nullopt},
        {"four pieces", u"0:0:03:25"_s, std::nullopt},
        {"a word as a piece", u"0:ab:00"_s, std::nullopt},
        {"infinity", u"inf:00:00"_s, std::nullopt},
        {"infinity spelled out", u"0:00:infinity"_s, std::nullopt},
        {"not a number", u"nan:00:00"_s, std::nullopt},
        {"hex", u"0x10:00:00"_s, std::nullopt},
        {"hex float", u"0:00:0x1p3"_s, std::nullopt},
        {"exponent", u"1e3:00:00"_s, std::nullopt},
        {"plus sign", u"+5:00:00"_s, std::nullopt},
        {"minus sign", u"0:-1:00"_s, std::nullopt},
        {"white space", u" 1:00:00"_s, std::nullopt},
        {"trailing white space", u"1:00:00 "_s, std::nullopt},
        {"lone point", u"0:.:00"_s, std::nullopt},
        {"two points", u"0:00:1.2.3"_s, std::nullopt},
        {"comma as decimal point", u"0:00:1,5"_s, std::nullopt},
        {"digits of another script", u"\u0663:00:00"_s, std::nullopt},
        {"full-width digits", u"\uFF11:00:00"_s, std::nullopt},
        {"a number too large for a double", QString(400, u'9') + u":00:00"_s, std::nullopt},
    };
    for (const SecondsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<double> result = Household::seconds(c.text);
        EXPECT_EQ(result, c.seconds);
        if (result) {
            EXPECT_TRUE(std::isfinite(*result));
        }
    }
}

TEST(GroupStatePollingTest, SecondsNeverOverflowsIntoInfinity) {
    // Each piece finite, the sum of them not: 1e308 hours.
    const QString huge = u"1"_s + QString(308, u'0');
    EXPECT_EQ(Household::seconds(huge + u":0:0"_s), std::nullopt);
    EXPECT_EQ(Household::seconds(u"0:0:"_s + huge), 1e308);
}

struct IntegerCase {
    const char* text;
    std::optional<int> value;
};

TEST(GroupStatePollingTest, DecimalIntegerIsPlainDigitsWithOptionalMinus) {
    const IntegerCase cases[] = {
        {"42", 42},
        {"0", 0},
        {"007", 7},
        {"-3", -3},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"abc", std::nullopt},
        {"+5", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"1.0", std::nullopt},
        {"0x10", std::nullopt},
        {"1e2", std::nullopt},
        {"--1", std::nullopt},
    };
    for (const IntegerCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(GroupStateRules::decimalInteger(QString::fromLatin1(c.text)), c.value);
    }
}

// ---------------------------------------------------------------------------------------------
// The position reply: source kinds, links, times

struct SourceCase {
    const char* name;
    QString uri;
    QString meta;
    bool canSkip;
    bool viaAirPlay;
    bool viaTV;
    bool hasTrack;
    std::optional<QString> spotify;
    std::optional<QString> apple;
};

TEST(GroupStatePollingTest, PositionReplySetsSourceKindAndLinks) {
    const QString spotifyLink = u"spotify:track:"_s + spotifyId;
    const SourceCase cases[] = {
        {"queue track from a file share", u"x-file-cifs://nas/music/a.flac"_s, u""_s, true, false, false,
         true, std::nullopt, std::nullopt},
        {"Spotify track in the URI",
         u"x-sonos-spotify:spotify%3atrack%3a"_s + spotifyId + u"?sid=9&flags=8224"_s, u""_s, true, false,
         false, true, spotifyLink, std::nullopt},
        {"Spotify track only in the metadata", u"x-sonos-http:abc.mp4?sid=9"_s,
         u"<DIDL-Lite><res>x-sonos-spotify:spotify%3atrack%3a"_s + spotifyId + u"</res></DIDL-Lite>"_s, true,
         false, false, true, spotifyLink, std::nullopt},
        {"Apple song", u"x-sonos-http:song%3a123.mp4?sid=204&flags=8224"_s, u""_s, true, false, false, true,
         std::nullopt, u"https://music.apple.com/song/123"_s},
        {"Apple song named only in the metadata", u"x-sonos-http:abc.mp4?sid=204"_s,
         u"<DIDL-Lite><res>song%3a123</res></DIDL-Lite>"_s, true, false, false, true, std::nullopt,
         std::nullopt},
        {"radio stream", u"x-sonosapi-stream:s24896?sid=254&flags=8224"_s, u""_s, false, false, false, true,
         std::nullopt, std::nullopt},
        {"line-in stream", u"x-rincon-stream:RINCON_A01400"_s, u""_s, false, false, false, true, std::nullopt,
         std::nullopt},
        {"MP3 radio", u"x-rincon-mp3radio://radio.example/stream"_s, u""_s, false, false, false, true,
         std::nullopt, std::nullopt},
        {"AAC radio", u"aac://radio.example/stream"_s, u""_s, false, false, false, true, std::nullopt,
         std::nullopt},
        {"HLS stream", u"x-sonosapi-hls:live?sid=303"_s, u""_s, false, false, false, true, std::nullopt,
         std::nullopt},
        {"AirPlay", u"x-sonos-vli:RINCON_A01400:1,airplay:a1b2c3"_s, u""_s, true, true, false, true,
         std::nullopt, std::nullopt},
        {"TV input", u"x-sonos-htastream:RINCON_A01400:spdif"_s, u""_s, false, false, true, true,
         std::nullopt, std::nullopt},
        {"prefix test is case-sensitive", u"X-SONOSAPI-STREAM:s1?sid=254"_s, u""_s, true, false, false, true,
         std::nullopt, std::nullopt},
        {"TV prefix in capitals is no TV", u"X-SONOS-HTASTREAM:RINCON_A01400:spdif"_s, u""_s, true, false,
         false, true, std::nullopt, std::nullopt},
        {"prefix inside the URI does not count", u"x-file-cifs://x-sonosapi-stream:/a"_s, u""_s, true, false,
         false, true, std::nullopt, std::nullopt},
        {"nothing loaded", u""_s, u""_s, true, false, false, false, std::nullopt, std::nullopt},
    };
    for (const SourceCase& c : cases) {
        SCOPED_TRACE(c.name);
        SpeakerGroup group = earlierGroup();
        GroupStateRules::applyPosition(group, {{u"TrackURI"_s, c.uri}, {u"TrackMetaData"_s, c.meta}}, now);
        EXPECT_EQ(group.canSkip, c.canSkip);
        EXPECT_EQ(group.viaAirPlay, c.viaAirPlay);
        EXPECT_EQ(group.viaTV, c.viaTV);
        EXPECT_EQ(group.hasTrack, c.hasTrack);
        EXPECT_EQ(group.spotifyURL, c.spotify ? std::optional<QUrl>(QUrl(*c.spotify)) : std::nullopt);
        EXPECT_EQ(group.appleMusicURL, c.apple ? std::optional<QUrl>(QUrl(*c.apple)) : std::nullopt);
    }
}

struct TimesCase {
    const char* name;
    std::optional<QString> duration;
    std::optional<QString> relTime;
    std::optional<double> expectedDuration;
    double expectedPosition;
};

TEST(GroupStatePollingTest, PositionReplySetsTimesWithDurationOnlyAboveZero) {
    const TimesCase cases[] = {
        {"track", u"0:03:22"_s, u"0:02:22"_s, 202, 142},
        {"length of zero", u"0:00:00"_s, u"0:00:05"_s, std::nullopt, 5},
        {"length as a word", u"NOT_IMPLEMENTED"_s, u"0:00:05"_s, std::nullopt, 5},
        {"position as a word", u"0:03:00"_s, u"NOT_IMPLEMENTED"_s, 180, 0},
        {"both missing", std::nullopt, std::nullopt, std::nullopt, 0},
        {"non-finite texts", u"inf:0:0"_s, u"nan:0:0"_s, std::nullopt, 0},
    };
    for (const TimesCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fields reply{{u"TrackURI"_s, u"x-file-cifs://nas/a.flac"_s}};
        if (c.duration)
            reply.insert(u"TrackDuration"_s, *c.duration);
        if (c.relTime)
            reply.insert(u"RelTime"_s, *c.relTime);
        SpeakerGroup group = earlierGroup();
        GroupStateRules::applyPosition(group, reply, now);
        EXPECT_EQ(group.duration, c.expectedDuration);
        EXPECT_EQ(group.position, c.expectedPosition);
        EXPECT_EQ(group.positionAt, now);
    }
}

TEST(GroupStatePollingTest, PositionReplyFromARealSpeaker) {
    QFile file(QStringLiteral(TAMBER_FIXTURES_DIR "/jishi--node-sonos-discovery--getpositioninfo.xml"));
    if (!file.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "fixture folder not present: " << file.fileName().toStdString();
    const Fields reply = LeafParser::parse(file.readAll());
    SpeakerGroup group = earlierGroup();
    GroupStateRules::applyPosition(group, reply, now);
    GroupStateRules::applyMetadata(group, reply.value(u"TrackMetaData"_s));
    EXPECT_EQ(group.spotifyURL, QUrl(u"spotify:track:"_s + spotifyId));
    EXPECT_EQ(group.appleMusicURL, std::nullopt);
    EXPECT_TRUE(group.canSkip);
    EXPECT_TRUE(group.hasTrack);
    EXPECT_EQ(group.duration, 202);
    EXPECT_EQ(group.position, 142);
    // The empty r:streamContent gives way to the title.
    EXPECT_EQ(group.title, u"Ex's & Oh's"_s);
    EXPECT_EQ(group.artist, u"Elle King"_s);
    ASSERT_TRUE(group.artURL);
    // Percent escapes come back with upper-case hex digits, which address the same resource.
    EXPECT_EQ(group.artURL->toString(QUrl::FullyEncoded),
              u"http://10.0.0.2:1400/getaa?s=1&u=x-sonos-spotify%3Aspotify%253atrack%253a"_s + spotifyId +
                  u"%3Fsid%3D9%26flags%3D8224%26sn%3D9"_s);
}

// ---------------------------------------------------------------------------------------------
// TV host

TEST(GroupStatePollingTest, TvHostIsTheNamedMemberElseTheCoordinator) {
    const SpeakerGroup group = earlierGroup(); // coordinator RINCON_B01400 at 10.0.0.2
    const struct {
        const char* name;
        QString uri;
        QString host;
    } cases[] = {
        {"member that is not the coordinator", u"x-sonos-htastream:RINCON_A01400:spdif"_s, u"10.0.0.1"_s},
        {"the coordinator itself", u"x-sonos-htastream:RINCON_B01400:spdif"_s, u"10.0.0.2"_s},
        {"empty pieces dropped", u"x-sonos-htastream::RINCON_A01400:spdif"_s, u"10.0.0.1"_s},
        {"id of no member", u"x-sonos-htastream:RINCON_Z01400:spdif"_s, u"10.0.0.2"_s},
        {"no second piece", u"x-sonos-htastream:"_s, u"10.0.0.2"_s},
        {"no URI at all", u""_s, u"10.0.0.2"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GroupStateRules::tvHost(group, c.uri), c.host);
    }
}

// ---------------------------------------------------------------------------------------------
// Track metadata

QString didl(const QString& inner) {
    return u"<DIDL-Lite xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\" "
           "xmlns:r=\"urn:schemas-rinconnetworks-com:metadata-1-0/\" "
           "xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\"><item id=\"-1\">"_s +
           inner + u"</item></DIDL-Lite>"_s;
}

struct MetadataCase {
    const char* name;
    QString meta;
    QString title;
    QString artist;
    std::optional<QString> art; // the expected artURL, as text
};

TEST(GroupStatePollingTest, MetadataGivesTitleArtistAndArtwork) {
    const QString oldArt = u"http://10.0.0.2:1400/old.jpg"_s;
    const MetadataCase cases[] = {
        {"stream content beats the title",
         didl(u"<r:streamContent>Live show</r:streamContent><dc:title>Station</dc:title>"_s), u"Live show"_s,
         u""_s, oldArt},
        {"empty stream content gives the title",
         didl(u"<r:streamContent></r:streamContent><dc:title>Song</dc:title><dc:creator>Band</dc:creator>"_s),
         u"Song"_s, u"Band"_s, oldArt},
        {"creator beats the album", didl(u"<dc:creator>Band</dc:creator><upnp:album>Record</upnp:album>"_s),
         u""_s, u"Band"_s, oldArt},
        {"album stands in for the artist",
         didl(u"<dc:title>Song</dc:title><upnp:album>Record</upnp:album>"_s), u"Song"_s, u"Record"_s, oldArt},
        {"relative art on the coordinator",
         didl(u"<upnp:albumArtURI>/getaa?s=1&amp;u=x</upnp:albumArtURI>"_s), u""_s, u""_s,
         u"http://10.0.0.2:1400/getaa?s=1&u=x"_s},
        {"absolute art unchanged", didl(u"<upnp:albumArtURI>http://cdn.example/a.jpg</upnp:albumArtURI>"_s),
         u""_s, u""_s, u"http://cdn.example/a.jpg"_s},
        {"secure art unchanged", didl(u"<upnp:albumArtURI>https://cdn.example/a.jpg</upnp:albumArtURI>"_s),
         u""_s, u""_s, u"https://cdn.example/a.jpg"_s},
        {"art that forms no URL", didl(u"<upnp:albumArtURI>/getaa?u=a b</upnp:albumArtURI>"_s), u""_s, u""_s,
         std::nullopt},
        {"art with a bad escape", didl(u"<upnp:albumArtURI>http://cdn.example/%zz</upnp:albumArtURI>"_s),
         u""_s, u""_s, std::nullopt},
    };
    for (const MetadataCase& c : cases) {
        SCOPED_TRACE(c.name);
        SpeakerGroup group = earlierGroup();
        GroupStateRules::applyMetadata(group, c.meta);
        EXPECT_EQ(group.title, c.title);
        EXPECT_EQ(group.artist, c.artist);
        EXPECT_EQ(group.artURL ? std::optional<QString>(group.artURL->toString(QUrl::FullyEncoded))
                               : std::nullopt,
                  c.art);
        // Whatever is kept must survive the stored form.
        if (group.artURL) {
            EXPECT_TRUE(SpeakerGroup::decodeList(*SpeakerGroup::encodeList({group})));
        }
    }
}

TEST(GroupStatePollingTest, MetadataThatIsNoDocumentChangesNothing) {
    const QString texts[] = {u""_s, u"NOT_IMPLEMENTED"_s, u" "_s + didl(u"<dc:title>Song</dc:title>"_s)};
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        SpeakerGroup group = earlierGroup();
        GroupStateRules::applyMetadata(group, text);
        EXPECT_EQ(group.title, u"Old title"_s);
        EXPECT_EQ(group.artist, u"Old artist"_s);
        EXPECT_EQ(group.artURL, QUrl(u"http://10.0.0.2:1400/old.jpg"_s));
    }
}

// ---------------------------------------------------------------------------------------------
// Volume and mute

TEST(GroupStatePollingTest, VolumeAndMuteReadStrictly) {
    const struct {
        std::optional<QString> text;
        int volume;
        bool muted;
    } cases[] = {
        {u"1"_s, 1, true},     {u"0"_s, 0, false},  {u"55"_s, 55, false}, {u"abc"_s, 0, false},
        {u"true"_s, 0, false}, {u"+5"_s, 0, false}, {u" 1"_s, 0, false},  {std::nullopt, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.value_or(u"(missing)"_s).toStdString());
        Fields reply;
        if (c.text) {
            reply.insert(u"CurrentVolume"_s, *c.text);
            reply.insert(u"CurrentMute"_s, *c.text);
        }
        EXPECT_EQ(GroupStateRules::volume(reply), c.volume);
        EXPECT_EQ(GroupStateRules::muted(reply), c.muted);
    }
}

// ---------------------------------------------------------------------------------------------
// The whole poll against loopback speakers

template <typename T> QString text(const std::optional<T>& value) {
    if (!value)
        return u"(none)"_s;
    if constexpr (std::is_same_v<T, QUrl>)
        return value->toString();
    else if constexpr (std::is_same_v<T, bool>)
        return *value ? u"true"_s : u"false"_s;
    else if constexpr (std::is_same_v<T, QString>)
        return *value;
    else
        return QString::number(*value);
}

QString text(bool value) {
    return value ? u"true"_s : u"false"_s;
}

// Every field the poll may write, by name, as text.
QMap<QString, QString> polledFields(const SpeakerGroup& g) {
    QMap<QString, QString> fields{
        {u"state"_s, g.state},
        {u"title"_s, g.title},
        {u"artist"_s, g.artist},
        {u"artURL"_s, text(g.artURL)},
        {u"spotifyURL"_s, text(g.spotifyURL)},
        {u"appleMusicURL"_s, text(g.appleMusicURL)},
        {u"viaAirPlay"_s, text(g.viaAirPlay)},
        {u"viaTV"_s, text(g.viaTV)},
        {u"canSkip"_s, text(g.canSkip)},
        {u"tvFormat"_s, text(g.tvFormat)},
        {u"nightMode"_s, text(g.nightMode)},
        {u"speechBoost"_s, text(g.speechBoost)},
        {u"tvHost"_s, text(g.tvHost)},
        {u"hasTrack"_s, text(g.hasTrack)},
        {u"volume"_s, QString::number(g.volume)},
        {u"muted"_s, text(g.muted)},
        {u"position"_s, QString::number(g.position)},
        {u"positionAt"_s, g.positionAt.toString(Qt::ISODateWithMs)},
        {u"duration"_s, text(g.duration)},
        {u"sleepRemaining"_s, text(g.sleepRemaining)},
        {u"sleepAt"_s, g.sleepAt.toString(Qt::ISODateWithMs)},
    };
    for (qsizetype i = 0; i < g.rooms.size(); ++i) {
        fields.insert(u"rooms[%1].volume"_s.arg(i), QString::number(g.rooms[i].volume));
        fields.insert(u"rooms[%1].muted"_s.arg(i), text(g.rooms[i].muted));
    }
    return fields;
}

// Three speakers: Kitchen (a TV speaker) and Living form one group that Living coordinates,
// Office stands alone. The polled group lists Kitchen first, so the coordinator is not the
// first room.
class GroupStatePolling : public ::testing::Test {
protected:
    static inline sim::SpeakerSimulator* sim = nullptr;
    static inline const QString hostA = test::loopback(2);
    static inline const QString hostB = test::loopback(3);
    static inline const QString hostC = test::loopback(4);
    static inline QString uuidA, uuidB;
    static inline const QString songUri = u"x-file-cifs://nas/music/song.flac"_s;

    static sim::FakeHousehold initial() {
        sim::FakeHousehold household =
            sim::FakeHousehold::solo({hostA, hostB, hostC}, {u"Kitchen"_s, u"Living"_s, u"Office"_s});
        sim::FakeSpeaker& a = household.speakers[0];
        sim::FakeSpeaker& b = household.speakers[1];
        household.groups = {{b.uuid + u":9"_s, b.uuid, {b.uuid, a.uuid}}, household.groups[2]};
        a.tv = true;
        a.room.volume = 30;
        a.room.mute = true;
        a.room.nightMode = true;
        a.room.htAudioIn = u"33554434"_s;
        b.room.volume = 50;
        b.transport.state = u"PLAYING"_s;
        b.transport.trackUri = songUri;
        b.transport.trackMetaData = sim::trackMetaData(u"Song"_s, u"Band"_s, u"Record"_s, songUri);
        b.transport.trackDuration = u"0:03:00"_s;
        b.transport.relTime = u"0:01:05"_s;
        b.transport.sleepTimer = u"0:10:00"_s;
        return household;
    }

    static void SetUpTestSuite() {
        const sim::FakeHousehold household = initial();
        uuidA = household.speakers[0].uuid;
        uuidB = household.speakers[1].uuid;
        sim = new sim::SpeakerSimulator(household);
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override {
        Clock::useManual();
        sim->clearFaults();
        sim->update([](sim::FakeHousehold& household) { household = initial(); });
        for (const QString& host : {hostA, hostB, hostC})
            sim->setOffline(host, false);
        sim->clearRequests();
    }
    void TearDown() override { Clock::useReal(); }

    // The group as the topology gives it, before any poll.
    static SpeakerGroup freshGroup() {
        return SpeakerGroup{
            .id = uuidB + u":9"_s,
            .coordinatorID = uuidB,
            .rooms = {Room{uuidA, u"Kitchen"_s, hostA, 0, false}, Room{uuidB, u"Living"_s, hostB, 0, false}}};
    }

    // The same group carrying values of an earlier poll, each unlike what the speakers say now.
    static SpeakerGroup polledBefore() {
        SpeakerGroup group = earlierGroup();
        group.id = uuidB + u":9"_s;
        group.coordinatorID = uuidB;
        group.rooms = {Room{uuidA, u"Kitchen"_s, hostA, 11, false},
                       Room{uuidB, u"Living"_s, hostB, 22, true}};
        group.hasTrack = false;
        return group;
    }

    static SpeakerGroup poll(const SpeakerGroup& group) { return test::run(Household::loadState(group)); }

    // The requests the speakers received, one line each: host, service path, action, arguments.
    static QStringList sent() {
        QStringList lines;
        for (const sim::SimRequest& request : sim->requests()) {
            QStringList args;
            for (const auto& [name, value] : request.args)
                args.append(name + u'=' + value);
            lines.append(u"%1 %2 %3(%4)"_s.arg(request.host,
                                               request.service ? controlPath(*request.service) : u"?"_s,
                                               request.action, args.join(u", "_s)));
        }
        return lines;
    }

    static void playOnB(const QString& uri, const QString& meta, const QString& duration = u"0:00:00"_s,
                        const QString& relTime = u"0:00:00"_s) {
        sim->update([&](sim::FakeHousehold& household) {
            sim::TransportState& transport = household.speakerByHost(hostB)->transport;
            transport.trackUri = uri;
            transport.trackMetaData = meta;
            transport.trackDuration = duration;
            transport.relTime = relTime;
        });
    }

    static void setReplyText(const QString& host, const QString& action, const QString& field,
                             std::optional<QString> value) {
        sim->update([&](sim::FakeHousehold& household) {
            household.speakerByHost(host)->replyText[action][field] = value;
        });
    }
};

const QString avt = u"/MediaRenderer/AVTransport/Control"_s;
const QString rc = u"/MediaRenderer/RenderingControl/Control"_s;
const QString grc = u"/MediaRenderer/GroupRenderingControl/Control"_s;
const QString dp = u"/DeviceProperties/Control"_s;

TEST_F(GroupStatePolling, PlainGroupSendsTheFixedSequenceAndReadsEveryField) {
    const SpeakerGroup g = poll(freshGroup());

    const QString b = hostB, a = hostA;
    EXPECT_EQ(sent(), (QStringList{
                          b + u" "_s + avt + u" GetTransportInfo(InstanceID=0)"_s,
                          b + u" "_s + avt + u" GetPositionInfo(InstanceID=0)"_s,
                          b + u" "_s + avt + u" GetRemainingSleepTimerDuration(InstanceID=0)"_s,
                          b + u" "_s + grc + u" GetGroupVolume(InstanceID=0)"_s,
                          b + u" "_s + grc + u" GetGroupMute(InstanceID=0)"_s,
                          a + u" "_s + rc + u" GetVolume(InstanceID=0, Channel=Master)"_s,
                          a + u" "_s + rc + u" GetMute(InstanceID=0, Channel=Master)"_s,
                          b + u" "_s + rc + u" GetVolume(InstanceID=0, Channel=Master)"_s,
                          b + u" "_s + rc + u" GetMute(InstanceID=0, Channel=Master)"_s,
                      }));

    EXPECT_EQ(g.state, u"PLAYING"_s);
    EXPECT_EQ(g.title, u"Song"_s);
    EXPECT_EQ(g.artist, u"Band"_s);
    EXPECT_EQ(g.artURL, QUrl(u"http://"_s + hostB + u":1400/getaa?s=1&u="_s + songUri));
    EXPECT_TRUE(g.hasTrack);
    EXPECT_TRUE(g.canSkip);
    EXPECT_FALSE(g.viaTV);
    EXPECT_EQ(g.duration, 180);
    EXPECT_EQ(g.position, 65);
    EXPECT_EQ(g.positionAt, Clock::now());
    EXPECT_EQ(g.sleepRemaining, 600);
    EXPECT_EQ(g.sleepAt, Clock::now());
    EXPECT_EQ(g.volume, 40); // the speakers' mean of 30 and 50
    EXPECT_FALSE(g.muted);   // only one of the two is muted
    EXPECT_EQ(g.rooms[0].volume, 30);
    EXPECT_TRUE(g.rooms[0].muted);
    EXPECT_EQ(g.rooms[1].volume, 50);
    EXPECT_FALSE(g.rooms[1].muted);
    // Nothing of the TV is touched for a group that does not play it.
    EXPECT_EQ(g.tvHost, std::nullopt);
    EXPECT_EQ(g.tvFormat, std::nullopt);
    EXPECT_EQ(g.nightMode, std::nullopt);
}

TEST_F(GroupStatePolling, TvGroupAsksTheNamedTvSpeakerEvenWhenItIsNotTheCoordinator) {
    playOnB(u"x-sonos-htastream:"_s + uuidA + u":spdif"_s,
            sim::trackMetaData(u"TV"_s, u"x"_s, u"y"_s, u"z"_s));
    SpeakerGroup before = freshGroup();
    before.title = u"Old title"_s;
    const SpeakerGroup g = poll(before);

    const QString b = hostB, a = hostA;
    EXPECT_EQ(sent(), (QStringList{
                          b + u" "_s + avt + u" GetTransportInfo(InstanceID=0)"_s,
                          b + u" "_s + avt + u" GetPositionInfo(InstanceID=0)"_s,
                          a + u" "_s + dp + u" GetZoneInfo()"_s,
                          a + u" "_s + rc + u" GetEQ(InstanceID=0, EQType=NightMode)"_s,
                          a + u" "_s + rc + u" GetEQ(InstanceID=0, EQType=DialogLevel)"_s,
                          b + u" "_s + avt + u" GetRemainingSleepTimerDuration(InstanceID=0)"_s,
                          b + u" "_s + grc + u" GetGroupVolume(InstanceID=0)"_s,
                          b + u" "_s + grc + u" GetGroupMute(InstanceID=0)"_s,
                          a + u" "_s + rc + u" GetVolume(InstanceID=0, Channel=Master)"_s,
                          a + u" "_s + rc + u" GetMute(InstanceID=0, Channel=Master)"_s,
                          b + u" "_s + rc + u" GetVolume(InstanceID=0, Channel=Master)"_s,
                          b + u" "_s + rc + u" GetMute(InstanceID=0, Channel=Master)"_s,
                      }));
    EXPECT_TRUE(g.viaTV);
    EXPECT_FALSE(g.canSkip);
    EXPECT_EQ(g.tvHost, hostA);
    EXPECT_EQ(g.tvFormat, 33554434);
    EXPECT_EQ(g.nightMode, true);
    EXPECT_EQ(g.speechBoost, false);
    // A TV input carries no track metadata worth showing: the titles stay.
    EXPECT_EQ(g.title, u"Old title"_s);
    EXPECT_EQ(g.artist, u""_s);
    EXPECT_EQ(g.artURL, std::nullopt);
}

TEST_F(GroupStatePolling, TvInputOfAnUnknownSpeakerGoesToTheCoordinator) {
    playOnB(u"x-sonos-htastream:RINCON_FFFFFFFFFFFF01400:spdif"_s, u""_s);
    // The coordinator is no TV speaker and refuses the EQ reads: both settings are unknown.
    const SpeakerGroup g = poll(freshGroup());
    EXPECT_EQ(g.tvHost, hostB);
    EXPECT_EQ(sim->requests(hostB, u"GetZoneInfo"_s).size(), 1);
    EXPECT_EQ(sim->requests(hostB, u"GetEQ"_s).size(), 2);
    EXPECT_TRUE(sim->requests(hostA, u"GetEQ"_s).isEmpty());
    EXPECT_EQ(g.tvFormat, 0);
    EXPECT_EQ(g.nightMode, std::nullopt);
    EXPECT_EQ(g.speechBoost, std::nullopt);
}

TEST_F(GroupStatePolling, FailedPositionOnATvGroupStillReadsTheTvAtTheCoordinator) {
    sim->setFault(hostB, u"GetPositionInfo"_s, sim::Fault::upnp(u"501"_s));
    SpeakerGroup before = polledBefore();
    before.viaTV = true;
    before.tvHost = hostA; // the earlier TV speaker does not count without a track URI
    const SpeakerGroup g = poll(before);
    EXPECT_EQ(g.tvHost, hostB);
    EXPECT_EQ(sim->requests(hostB, u"GetZoneInfo"_s).size(), 1);
    EXPECT_TRUE(sim->requests(hostA, u"GetZoneInfo"_s).isEmpty());
    EXPECT_TRUE(g.viaTV);
    EXPECT_EQ(g.title, u"Old title"_s); // the metadata step is skipped
}

struct SourceKind {
    const char* name;
    QString uri;
    QString meta;
    QString duration;
    QString title;
    QString artist;
    std::optional<QString> art;
    bool canSkip;
    bool viaAirPlay;
    std::optional<QString> spotify;
    std::optional<QString> apple;
    std::optional<double> expectedDuration;
};

TEST_F(GroupStatePolling, EachSourceKindGivesItsFields) {
    const QString spotifyUri =
        u"x-sonos-spotify:spotify%3atrack%3a"_s + spotifyId + u"?sid=9&flags=8224&sn=9"_s;
    const QString appleUri = u"x-sonos-http:song%3a1234567.mp4?sid=204&flags=8224&sn=3"_s;
    const QString radioUri = u"x-sonosapi-stream:s24896?sid=254&flags=8224&sn=0"_s;
    const QString airplayUri = u"x-sonos-vli:"_s + uuidB + u":1,airplay:a1b2c3d4"_s;
    const QString coordinatorArt = u"http://"_s + hostB + u":1400/getaa?s=1&u="_s;
    const SourceKind cases[] = {
        {"queue track", songUri, sim::trackMetaData(u"Song"_s, u"Band"_s, u"Record"_s, songUri), u"0:03:00"_s,
         u"Song"_s, u"Band"_s, coordinatorArt + songUri, true, false, std::nullopt, std::nullopt, 180},
        {"radio stream", radioUri,
         sim::streamMetaData(u"Radio One"_s, u"Band - Live"_s, u"https://cdn.example/radio.png"_s), u""_s,
         u"Band - Live"_s, u""_s, u"https://cdn.example/radio.png"_s, false, false, std::nullopt,
         std::nullopt, std::nullopt},
        {"radio between songs", radioUri, sim::streamMetaData(u"Radio One"_s, u""_s), u""_s, u"Radio One"_s,
         u""_s, std::nullopt, false, false, std::nullopt, std::nullopt, std::nullopt},
        {"AirPlay", airplayUri, u""_s, u"0:00:00"_s, u""_s, u""_s, std::nullopt, true, true, std::nullopt,
         std::nullopt, std::nullopt},
        {"Spotify", spotifyUri, sim::trackMetaData(u"Hit"_s, u"Star"_s, u"Album"_s, spotifyUri), u"0:03:22"_s,
         u"Hit"_s, u"Star"_s, std::nullopt, true, false, u"spotify:track:"_s + spotifyId, std::nullopt, 202},
        {"Apple", appleUri, sim::trackMetaData(u"Tune"_s, u"Singer"_s, u"LP"_s, appleUri), u"0:04:00"_s,
         u"Tune"_s, u"Singer"_s, std::nullopt, true, false, std::nullopt,
         u"https://music.apple.com/song/1234567"_s, 240},
    };
    for (const SourceKind& c : cases) {
        SCOPED_TRACE(c.name);
        playOnB(c.uri, c.meta, c.duration, u"0:00:07"_s);
        const SpeakerGroup g = poll(freshGroup());
        EXPECT_EQ(g.title, c.title);
        EXPECT_EQ(g.artist, c.artist);
        if (c.art) {
            EXPECT_EQ(g.artURL, QUrl(*c.art));
        } else if (c.meta.contains(u"albumArtURI"_s)) {
            EXPECT_TRUE(g.artURL); // made from the coordinator and the URI, checked by the rules above
        } else {
            EXPECT_EQ(g.artURL, std::nullopt);
        }
        EXPECT_EQ(g.canSkip, c.canSkip);
        EXPECT_EQ(g.viaAirPlay, c.viaAirPlay);
        EXPECT_FALSE(g.viaTV);
        EXPECT_TRUE(g.hasTrack);
        EXPECT_EQ(g.spotifyURL, c.spotify ? std::optional<QUrl>(QUrl(*c.spotify)) : std::nullopt);
        EXPECT_EQ(g.appleMusicURL, c.apple ? std::optional<QUrl>(QUrl(*c.apple)) : std::nullopt);
        EXPECT_EQ(g.duration, c.expectedDuration);
        EXPECT_EQ(g.position, 7);
    }
}

struct FailureCase {
    const char* name;
    QString host; // empty: every speaker
    QString action;
    QStringList kept;
};

TEST_F(GroupStatePolling, AFailedReadKeepsExactlyItsFields) {
    // viaTV is kept as well; that it stays false here is shown by the TV reads not happening.
    const QStringList position{u"spotifyURL"_s, u"appleMusicURL"_s, u"viaAirPlay"_s, u"canSkip"_s,
                               u"hasTrack"_s,   u"duration"_s,      u"position"_s,   u"positionAt"_s,
                               u"title"_s,      u"artist"_s,        u"artURL"_s};
    const FailureCase cases[] = {
        {"transport state", hostB, u"GetTransportInfo"_s, {u"state"_s}},
        {"position and with it the metadata", hostB, u"GetPositionInfo"_s, position},
        {"sleep timer", hostB, u"GetRemainingSleepTimerDuration"_s, {u"sleepRemaining"_s, u"sleepAt"_s}},
        {"group volume, room volumes still read", hostB, u"GetGroupVolume"_s, {u"volume"_s}},
        {"group mute", hostB, u"GetGroupMute"_s, {u"muted"_s}},
        {"one room's volume", hostA, u"GetVolume"_s, {u"rooms[0].volume"_s}},
        {"one room's mute", hostB, u"GetMute"_s, {u"rooms[1].muted"_s}},
        {"every room's volume", u""_s, u"GetVolume"_s, {u"rooms[0].volume"_s, u"rooms[1].volume"_s}},
    };
    const SpeakerGroup before = polledBefore();
    const QMap<QString, QString> old = polledFields(before);
    const QMap<QString, QString> fresh = polledFields(poll(before));
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim->clearFaults();
        sim->setFault(c.host, c.action, sim::Fault::upnp(u"501"_s));
        QMap<QString, QString> expected = fresh;
        for (const QString& field : c.kept) {
            ASSERT_TRUE(old.contains(field)) << field.toStdString();
            ASSERT_NE(old[field], fresh[field]) << field.toStdString() << " does not tell old from new";
            expected[field] = old[field];
        }
        EXPECT_EQ(polledFields(poll(before)), expected);
    }
}

TEST_F(GroupStatePolling, FailedTvReadsKeepTheFormatAndForgetTheSoundSettings) {
    playOnB(u"x-sonos-htastream:"_s + uuidA + u":spdif"_s, u""_s);
    SpeakerGroup before = polledBefore(); // tvFormat 7, night mode on, speech boost off
    before.speechBoost = true;

    sim->setFault(hostA, u"GetZoneInfo"_s, sim::Fault::upnp(u"501"_s));
    SpeakerGroup g = poll(before);
    EXPECT_EQ(g.tvFormat, 7);
    EXPECT_EQ(g.nightMode, true);
    EXPECT_EQ(g.speechBoost, false);
    EXPECT_EQ(g.tvHost, hostA);

    // An EQ setting that cannot be read is unknown, not the earlier value.
    sim->clearFaults();
    sim->setFault(hostA, u"GetEQ"_s, sim::Fault::upnp(u"402"_s));
    g = poll(before);
    EXPECT_EQ(g.tvFormat, 33554434);
    EXPECT_EQ(g.nightMode, std::nullopt);
    EXPECT_EQ(g.speechBoost, std::nullopt);
}

TEST_F(GroupStatePolling, UnreachableSpeakersLeaveTheirFields) {
    const SpeakerGroup before = polledBefore();
    const QMap<QString, QString> old = polledFields(before);

    // The member that does not coordinate is gone: only its own room keeps its values.
    sim->setOffline(hostA, true);
    QMap<QString, QString> g = polledFields(poll(before));
    EXPECT_EQ(g[u"rooms[0].volume"_s], old[u"rooms[0].volume"_s]);
    EXPECT_EQ(g[u"rooms[0].muted"_s], old[u"rooms[0].muted"_s]);
    EXPECT_EQ(g[u"rooms[1].volume"_s], u"50"_s);
    EXPECT_EQ(g[u"state"_s], u"PLAYING"_s);

    // Nobody answers: the group comes back as it went in.
    sim->setOffline(hostB, true);
    EXPECT_EQ(polledFields(poll(before)), old);
}

TEST_F(GroupStatePolling, RepliesWithoutTheirFieldsReadAsDefaults) {
    playOnB(u"x-sonos-htastream:"_s + uuidA + u":spdif"_s, u""_s);
    SpeakerGroup before = polledBefore();
    for (const char* action :
         {"GetTransportInfo", "GetPositionInfo", "GetZoneInfo", "GetEQ", "GetRemainingSleepTimerDuration",
          "GetGroupVolume", "GetGroupMute", "GetVolume", "GetMute"})
        sim->setFault(u""_s, QString::fromLatin1(action), sim::Fault::emptyOk());
    const SpeakerGroup g = poll(before);
    EXPECT_EQ(g.state, u"STOPPED"_s);
    EXPECT_FALSE(g.hasTrack);
    EXPECT_TRUE(g.canSkip);
    EXPECT_FALSE(g.viaAirPlay);
    EXPECT_FALSE(g.viaTV); // no URI is no TV input: no TV reads happen
    EXPECT_EQ(g.spotifyURL, std::nullopt);
    EXPECT_EQ(g.duration, std::nullopt);
    EXPECT_EQ(g.position, 0);
    EXPECT_EQ(g.positionAt, Clock::now());
    EXPECT_EQ(g.title, u"Old title"_s); // no metadata field
    EXPECT_EQ(g.sleepRemaining, std::nullopt);
    EXPECT_EQ(g.sleepAt, Clock::now());
    EXPECT_EQ(g.volume, 0);
    EXPECT_FALSE(g.muted);
    EXPECT_EQ(g.rooms[0].volume, 0);
    EXPECT_FALSE(g.rooms[1].muted);
    EXPECT_TRUE(sim->requests(hostA, u"GetZoneInfo"_s).isEmpty());

    // The TV reads on their own, with a position that names the TV speaker.
    sim->clearFaults();
    for (const char* action : {"GetZoneInfo", "GetEQ"})
        sim->setFault(hostA, QString::fromLatin1(action), sim::Fault::emptyOk());
    const SpeakerGroup tv = poll(before);
    EXPECT_EQ(tv.tvFormat, std::nullopt);
    EXPECT_EQ(tv.nightMode, std::nullopt);
    EXPECT_EQ(tv.speechBoost, std::nullopt);
}

struct GarbageCase {
    const char* name;
    QString host;
    QString action;
    QString field;
    QString value;
    QString polledField; // the field it lands in, and what that field must hold
    QString expected;
};

TEST_F(GroupStatePolling, GarbageNeverEntersTheModel) {
    playOnB(u"x-sonos-htastream:"_s + uuidA + u":spdif"_s, u""_s);
    const QString huge = u"1"_s + QString(400, u'0');
    const GarbageCase cases[] = {
        {"length infinite", hostB, u"GetPositionInfo"_s, u"TrackDuration"_s, u"inf:00:00"_s, u"duration"_s,
         u"(none)"_s},
        {"length beyond a double", hostB, u"GetPositionInfo"_s, u"TrackDuration"_s, huge + u":00:00"_s,
         u"duration"_s, u"(none)"_s},
        {"position not a number", hostB, u"GetPositionInfo"_s, u"RelTime"_s, u"nan:00:00"_s, u"position"_s,
         u"0"_s},
        {"position signed", hostB, u"GetPositionInfo"_s, u"RelTime"_s, u"-0:00:05"_s, u"position"_s, u"0"_s},
        {"sleep beyond a double", hostB, u"GetRemainingSleepTimerDuration"_s,
         u"RemainingSleepTimerDuration"_s, u"0:00:"_s + huge, u"sleepRemaining"_s, u"(none)"_s},
        {"sleep in hex", hostB, u"GetRemainingSleepTimerDuration"_s, u"RemainingSleepTimerDuration"_s,
         u"0:00:0x1p9"_s, u"sleepRemaining"_s, u"(none)"_s},
        {"group volume a word", hostB, u"GetGroupVolume"_s, u"CurrentVolume"_s, u"abc"_s, u"volume"_s,
         u"0"_s},
        {"room volume with exponent", hostA, u"GetVolume"_s, u"CurrentVolume"_s, u"1e2"_s,
         u"rooms[0].volume"_s, u"0"_s},
        {"room volume beyond an int", hostB, u"GetVolume"_s, u"CurrentVolume"_s, u"99999999999"_s,
         u"rooms[1].volume"_s, u"0"_s},
        {"group mute as a word", hostB, u"GetGroupMute"_s, u"CurrentMute"_s, u"true"_s, u"muted"_s,
         u"false"_s},
        {"room mute as a word", hostA, u"GetMute"_s, u"CurrentMute"_s, u"true"_s, u"rooms[0].muted"_s,
         u"false"_s},
        {"TV format in hex", hostA, u"GetZoneInfo"_s, u"HTAudioIn"_s, u"0x21"_s, u"tvFormat"_s, u"(none)"_s},
        {"TV format a word", hostA, u"GetZoneInfo"_s, u"HTAudioIn"_s, u"abc"_s, u"tvFormat"_s, u"(none)"_s},
        {"night mode as a word", hostA, u"GetEQ"_s, u"CurrentValue"_s, u"true"_s, u"nightMode"_s, u"false"_s},
    };
    SpeakerGroup before = polledBefore();
    before.sleepRemaining = 5;
    before.muted = true;
    for (const GarbageCase& c : cases) {
        SCOPED_TRACE(c.name);
        sim->update([](sim::FakeHousehold& household) {
            for (sim::FakeSpeaker& speaker : household.speakers)
                speaker.replyText.clear();
        });
        setReplyText(c.host, c.action, c.field, c.value);
        const SpeakerGroup g = poll(before);
        EXPECT_EQ(polledFields(g)[c.polledField], c.expected);
        EXPECT_TRUE(std::isfinite(g.position));
        EXPECT_TRUE(!g.duration || std::isfinite(*g.duration));
        EXPECT_TRUE(!g.sleepRemaining || std::isfinite(*g.sleepRemaining));
        // What was read can be stored and read back.
        const auto stored = SpeakerGroup::encodeList({g});
        ASSERT_TRUE(stored);
        EXPECT_TRUE(SpeakerGroup::decodeList(*stored));
    }
}

} // namespace
