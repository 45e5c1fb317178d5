#include "household/MusicLinks.h"
#include "protocol/LeafParser.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace {

const QString track22 = QStringLiteral("70eDxAyAraNTiD6lx2ZEnH");

struct DecodeCase {
    const char* name;
    QString text;
    std::optional<QString> decoded;
};

TEST(MusicLinksTest, PercentDecodingFailsOnBadEscapesAndBadUtf8) {
    const DecodeCase cases[] = {
        {"plain text stays", QStringLiteral("x-sonos-spotify:abc?sid=9"),
         QStringLiteral("x-sonos-spotify:abc?sid=9")},
        {"either case of hex", QStringLiteral("%3a%3A%2f"), QStringLiteral("::/")},
        {"multi-byte UTF-8", QStringLiteral("K%C3%BCche"), QStringLiteral("Küche")},
        {"characters outside ASCII pass", QStringLiteral("Küche%20"), QStringLiteral("Küche ")},
        {"one pass only", QStringLiteral("%2541"), QStringLiteral("%41")},
        {"empty", QString(), QString()},
        {"lone percent", QStringLiteral("100%"), std::nullopt},
        {"one hex digit at the end", QStringLiteral("a%4"), std::nullopt},
        {"non-hex digits", QStringLiteral("%zz"), std::nullopt},
        {"sign is no hex digit", QStringLiteral("%+1"), std::nullopt},
        {"byte that never starts UTF-8", QStringLiteral("%FF"), std::nullopt},
        {"stray continuation byte", QStringLiteral("%80"), std::nullopt},
        {"truncated sequence", QStringLiteral("%E2%82"), std::nullopt},
        {"truncated before ASCII", QStringLiteral("%C3A"), std::nullopt},
        {"overlong form", QStringLiteral("%C0%AF"), std::nullopt},
        {"encoded surrogate", QStringLiteral("%ED%A0%80"), std::nullopt},
        {"beyond U+10FFFF", QStringLiteral("%F4%90%80%80"), std::nullopt},
    };
    for (const DecodeCase& c : cases)
        EXPECT_EQ(MusicLinks::percentDecoded(c.text), c.decoded) << c.name;
}

struct LinkCase {
    const char* name;
    QString text;
    std::optional<QString> link;
};

TEST(MusicLinksTest, SpotifyTrackLinks) {
    const QString prefix = QStringLiteral("x-sonos-spotify:spotify%3atrack%3a");
    const LinkCase cases[] = {
        {"percent-encoded track URI", prefix + track22 + QStringLiteral("?sid=9&flags=8224&sn=9"),
         QStringLiteral("spotify:track:") + track22},
        {"21 characters", prefix + track22.left(21), std::nullopt},
        {"30 characters keep the first 22", prefix + track22 + QStringLiteral("abcdefgh"),
         QStringLiteral("spotify:track:") + track22},
        {"unencoded text", QStringLiteral("<res>spotify:track:") + track22 + QStringLiteral("</res>"),
         QStringLiteral("spotify:track:") + track22},
        {"undecodable text is searched as it stands", QStringLiteral("100% spotify:track:") + track22,
         QStringLiteral("spotify:track:") + track22},
        {"case-sensitive", QStringLiteral("SPOTIFY:TRACK:") + track22, std::nullopt},
        {"a playlist is no track", QStringLiteral("spotify%3aplaylist%3a") + track22, std::nullopt},
        {"first of two",
         QStringLiteral("spotify:track:") + track22 + QStringLiteral(" spotify:track:") + QString(22, u'B'),
         QStringLiteral("spotify:track:") + track22},
        {"nothing", QString(), std::nullopt},
    };
    for (const LinkCase& c : cases) {
        const std::optional<QUrl> url = MusicLinks::spotifyTrack(c.text);
        EXPECT_EQ(url.has_value(), c.link.has_value()) << c.name;
        if (url && c.link) {
            EXPECT_EQ(url->toString(), *c.link) << c.name;
        }
    }
}

TEST(MusicLinksTest, AppleMusicSongLinks) {
    const LinkCase cases[] = {
        {"encoded song id with the service id",
         QStringLiteral("x-sonos-http:song%3a123.mp4?sid=204&flags=8224&sn=3"),
         QStringLiteral("https://music.apple.com/song/123")},
        {"another service", QStringLiteral("x-sonos-http:song%3a123.mp4?sid=9&flags=8224&sn=3"),
         std::nullopt},
        {"service id itself encoded", QStringLiteral("x-sonos-http:song%3a42.mp4%3fsid%3d204"),
         QStringLiteral("https://music.apple.com/song/42")},
        {"no song", QStringLiteral("x-sonos-http:album%3a123?sid=204"), std::nullopt},
        {"song without digits", QStringLiteral("song:abc?sid=204"), std::nullopt},
        {"first song wins", QStringLiteral("song:7 song:8 sid=204"),
         QStringLiteral("https://music.apple.com/song/7")},
        {"undecodable text as it stands", QStringLiteral("song:55?sid=204&x=%zz"),
         QStringLiteral("https://music.apple.com/song/55")},
    };
    for (const LinkCase& c : cases) {
        const std::optional<QUrl> url = MusicLinks::appleMusicSong(c.text);
        EXPECT_EQ(url.has_value(), c.link.has_value()) << c.name;
        if (url && c.link) {
            EXPECT_EQ(url->toString(), *c.link) << c.name;
        }
    }
}

TEST(MusicLinksTest, FindsTheTrackOfACapturedPositionReply) {
    QFile file(QStringLiteral(TAMBER_FIXTURES_DIR "/jishi--node-sonos-discovery--getpositioninfo.xml"));
    if (!file.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "captured replies not found at " TAMBER_FIXTURES_DIR;
    const Fields fields = LeafParser::parse(file.readAll());
    const QString uri = fields.value(QStringLiteral("TrackURI"));
    const QString meta = fields.value(QStringLiteral("TrackMetaData"));
    ASSERT_FALSE(uri.isEmpty());
    const std::optional<QUrl> url = MusicLinks::spotifyTrack(uri + meta);
    ASSERT_TRUE(url.has_value());
    EXPECT_EQ(url->toString(), QStringLiteral("spotify:track:") + track22);
    EXPECT_EQ(MusicLinks::appleMusicSong(uri), std::nullopt);
}

} // namespace
