#include "protocol/FavoritesParser.h"
#include "QtPrinters.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

const QString host = QStringLiteral("192.168.1.30");

QString didl(const QString& items) {
    return QStringLiteral("<DIDL-Lite xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                          "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\" "
                          "xmlns:r=\"urn:schemas-rinconnetworks-com:metadata-1-0/\" "
                          "xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\">%1</DIDL-Lite>")
        .arg(items);
}

} // namespace

TEST(FavoritesParser, ReadsItemsInDocumentOrder) {
    const QString xml =
        didl("<container id=\"FV:2\"><dc:title>Favoriten</dc:title><res>ignored</res></container>"
             "<item id=\"FV:2/1\" parentID=\"FV:2\"><dc:title>Radio "
             "Eins</dc:title><upnp:class>object.itemobject.item.sonos-favorite</upnp:class>"
             "<res protocolInfo=\"x\">x-sonosapi-stream:s1?sid=254&amp;flags=8224</res>"
             "<upnp:albumArtURI>/getaa?s=1&amp;u=x-sonosapi-stream%3as1</upnp:albumArtURI>"
             "<r:resMD>&lt;DIDL-Lite&gt;&lt;item "
             "id=&quot;F00092020s1&quot;/&gt;&lt;/DIDL-Lite&gt;</r:resMD></item>"
             "<item id=\"FV:2/2\"><dc:title>Mix</dc:title><res>x-rincon-cpcontainer:1006</res>"
             "<upnp:albumArtURI>https://i.example.net/a.jpg</upnp:albumArtURI></item>");
    const QList<Favorite> expected = {
        {"FV:2/1", "Radio Eins", "x-sonosapi-stream:s1?sid=254&flags=8224",
         "<DIDL-Lite><item id=\"F00092020s1\"/></DIDL-Lite>",
         QUrl("http://192.168.1.30:1400/getaa?s=1&u=x-sonosapi-stream%3as1")},
        {"FV:2/2", "Mix", "x-rincon-cpcontainer:1006", "", QUrl("https://i.example.net/a.jpg")},
    };
    const QList<Favorite> favorites = FavoritesParser::parse(xml, host);
    EXPECT_EQ(favorites, expected);
    ASSERT_EQ(favorites.size(), 2);
    // On the asked speaker, path and query unchanged (QUrl writes percent-escapes in upper case,
    // which names the same URL).
    const QUrl art = favorites[0].artURL.value();
    EXPECT_EQ(art.scheme(), "http");
    EXPECT_EQ(art.host(), host);
    EXPECT_EQ(art.port(), 1400);
    EXPECT_EQ(art.path(), "/getaa");
    EXPECT_EQ(art.query(QUrl::FullyDecoded), "s=1&u=x-sonosapi-stream:s1");
}

TEST(FavoritesParser, ItemRules) {
    struct Case {
        const char* what;
        QString item;
        std::optional<Favorite> expected;
    };
    const Case cases[] = {
        {"empty res drops", "<item id=\"1\"><dc:title>T</dc:title><res></res></item>", std::nullopt},
        {"blank res drops", "<item id=\"1\"><dc:title>T</dc:title><res>  \n </res></item>", std::nullopt},
        {"no res drops", "<item id=\"1\"><dc:title>T</dc:title></item>", std::nullopt},
        {"empty title kept", "<item id=\"1\"><dc:title></dc:title><res>u</res></item>",
         Favorite{"1", "", "u", "", std::nullopt}},
        {"title without prefix drops", "<item id=\"1\"><title>T</title><res>u</res></item>", std::nullopt},
        {"first res wins", "<item id=\"1\"><dc:title>T</dc:title><res>a</res><res>b</res></item>",
         Favorite{"1", "T", "a", "", std::nullopt}},
        {"empty first res drops despite a later one",
         "<item id=\"1\"><dc:title>T</dc:title><res/><res>b</res></item>", std::nullopt},
        {"text trimmed at both ends only",
         "<item id=\"1\"><dc:title>\n    Late\n    Night  Jazz\n  </dc:title><res>\t u \n</res></item>",
         Favorite{"1", "Late\n    Night  Jazz", "u", "", std::nullopt}},
        {"empty artwork gives none",
         "<item id=\"1\"><dc:title>T</dc:title><res>u</res><upnp:albumArtURI></upnp:albumArtURI></item>",
         Favorite{"1", "T", "u", "", std::nullopt}},
        {"unusable artwork gives none",
         "<item id=\"1\"><dc:title>T</dc:title><res>u</res><upnp:albumArtURI>http://a "
         "b/c</upnp:albumArtURI></item>",
         Favorite{"1", "T", "u", "", std::nullopt}},
        {"relative artwork without slash cannot be joined",
         "<item "
         "id=\"1\"><dc:title>T</dc:title><res>u</res><upnp:albumArtURI>getaa?x=1</upnp:albumArtURI></item>",
         Favorite{"1", "T", "u", "", std::nullopt}},
        {"absolute artwork unchanged",
         "<item "
         "id=\"1\"><dc:title>T</dc:title><res>u</res><upnp:albumArtURI>http://10.0.0.2:1400/img.png?x=1</"
         "upnp:albumArtURI></item>",
         Favorite{"1", "T", "u", "", QUrl("http://10.0.0.2:1400/img.png?x=1")}},
        {"CDATA is no text", "<item id=\"1\"><dc:title><![CDATA[T]]></dc:title><res>u</res></item>",
         Favorite{"1", "", "u", "", std::nullopt}},
        {"nested item children count", "<item id=\"1\"><x><dc:title>T</dc:title></x><res>u</res></item>",
         Favorite{"1", "T", "u", "", std::nullopt}},
    };
    for (const Case& c : cases) {
        const QList<Favorite> favorites = FavoritesParser::parse(didl(c.item), host);
        if (c.expected)
            EXPECT_EQ(favorites, QList<Favorite>{*c.expected}) << c.what;
        else
            EXPECT_TRUE(favorites.isEmpty()) << c.what;
    }
}

TEST(FavoritesParser, ItemsWithoutIdGetFreshUpperCaseUuids) {
    const QString xml = didl("<item><dc:title>A</dc:title><res>a</res></item>"
                             "<item><dc:title>B</dc:title><res>b</res></item>");
    const QList<Favorite> first = FavoritesParser::parse(xml, host);
    const QList<Favorite> second = FavoritesParser::parse(xml, host);
    ASSERT_EQ(first.size(), 2);
    ASSERT_EQ(second.size(), 2);
    const QRegularExpression uuid("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    for (const Favorite& favorite : first + second)
        EXPECT_TRUE(uuid.match(favorite.id).hasMatch()) << favorite.id.toStdString();
    EXPECT_NE(first[0].id, first[1].id);
    EXPECT_NE(first[0].id, second[0].id);
    EXPECT_NE(first, second) << "fresh ids make the records differ";
}

TEST(FavoritesParser, MalformedInputKeepsCompletedItems) {
    const QString complete = "<item id=\"1\"><dc:title>A</dc:title><res>a</res></item>";
    const QString cut = "<item id=\"2\"><dc:title>B</dc:title><res>b</res>";
    const QList<Favorite> expected = {{"1", "A", "a", "", std::nullopt}};
    EXPECT_EQ(FavoritesParser::parse(didl(complete + cut), host), expected) << "truncated";
    EXPECT_EQ(FavoritesParser::parse(didl(complete + cut + "</wrong>"), host), expected) << "mismatched";
    EXPECT_TRUE(FavoritesParser::parse("", host).isEmpty());
    EXPECT_TRUE(FavoritesParser::parse("plain text", host).isEmpty());
}

TEST(FavoritesParser, HostThatFormsNoUrlLeavesNoArtwork) {
    const QString item =
        "<item id=\"1\"><dc:title>T</dc:title><res>u</res><upnp:albumArtURI>/a.png</upnp:albumArtURI></item>";
    EXPECT_EQ(FavoritesParser::parse(didl(item), "bad host")[0].artURL, std::nullopt);
    EXPECT_EQ(FavoritesParser::parse(didl(item), "speaker.local")[0].artURL,
              QUrl("http://speaker.local:1400/a.png"));
}

TEST(Favorite, EqualOnlyWhenAllFieldsAre) {
    const Favorite base{"1", "T", "u", "m", QUrl("http://h/a")};
    EXPECT_EQ(base, base);
    EXPECT_EQ(qHash(base), qHash(Favorite(base)));
    for (Favorite other :
         {Favorite{"2", "T", "u", "m", QUrl("http://h/a")}, Favorite{"1", "X", "u", "m", QUrl("http://h/a")},
          Favorite{"1", "T", "x", "m", QUrl("http://h/a")}, Favorite{"1", "T", "u", "x", QUrl("http://h/a")},
          Favorite{"1", "T", "u", "m", QUrl("http://h/b")}, Favorite{"1", "T", "u", "m", std::nullopt}})
        EXPECT_NE(base, other);
    EXPECT_EQ((Favorite{"1", "T", "u", "m", std::nullopt}), (Favorite{"1", "T", "u", "m", std::nullopt}));
}
