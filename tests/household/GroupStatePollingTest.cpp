#include "household/GroupStateRules.h"
#include "household/Household.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

// Readable failure messages for texts.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

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
    group.sleepRemaining = 600;
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

} // namespace
