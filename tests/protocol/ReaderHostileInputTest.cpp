// The readers against input meant to hurt: truncation, size, entity tricks, broken encodings
// and deep nesting. Each must return a partial or empty result, never crash, and never give
// back more than the input could honestly hold.
#include "QtPrinters.h"
#include "ReaderFixtures.h"
#include "protocol/FavoritesParser.h"
#include "protocol/LastChangeParser.h"
#include "protocol/LeafParser.h"
#include "protocol/TopologyParser.h"
#include "protocol/XmlBytes.h"
#include "support/TestNet.h"

#include <QDir>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

qsizetype sizeOf(const Fields& fields) {
    qsizetype size = 0;
    for (auto it = fields.begin(); it != fields.end(); ++it)
        size += it.key().size() + it.value().size();
    return size;
}

qsizetype sizeOf(const QList<TopologyParser::Group>& groups) {
    qsizetype size = 0;
    for (const auto& group : groups) {
        size += group.id.size() + group.coordinator.size();
        for (const auto& member : group.members)
            size += member.uuid.size() + member.name.size() + member.host.size();
    }
    return size;
}

qsizetype sizeOf(const QList<Favorite>& favorites) {
    qsizetype size = 0;
    for (const auto& favorite : favorites)
        size += favorite.title.size() + favorite.uri.size() + favorite.meta.size();
    return size;
}

// Every reader over one input, each answering the number of characters it gathered.
struct Reader {
    const char* name;
    std::function<qsizetype(const QByteArray&)> read;
};

const Reader readers[] = {
    {"leaf (bytes)", [](const QByteArray& in) { return sizeOf(LeafParser::parse(in)); }},
    {"leaf (text)", [](const QByteArray& in) { return sizeOf(LeafParser::parse(QString::fromUtf8(in))); }},
    {"topology (bytes)", [](const QByteArray& in) { return sizeOf(TopologyParser::parse(in)); }},
    {"topology (text)",
     [](const QByteArray& in) { return sizeOf(TopologyParser::parse(QString::fromUtf8(in))); }},
    {"last change (bytes)", [](const QByteArray& in) { return sizeOf(LastChangeParser::parse(in)); }},
    {"last change (text)",
     [](const QByteArray& in) { return sizeOf(LastChangeParser::parse(QString::fromUtf8(in))); }},
    {"favourites",
     [](const QByteArray& in) { return sizeOf(FavoritesParser::parse(QString::fromUtf8(in), "10.0.0.1")); }},
};

// A document that names the entity `e` in every place a reader takes text from.
QByteArray everywhere(const QByteArray& dtd, const QByteArray& ref) {
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE r [" + dtd + "]>\n<r><ZoneGroup ID=\"" + ref +
           "\"><ZoneGroupMember UUID=\"" + ref + "\" ZoneName=\"" + ref +
           "\" Location=\"http://10.0.0.2:1400/x\"/></ZoneGroup>" + "<Volume val=\"" + ref + "\"/><a>" + ref +
           "</a><item id=\"1\"><dc:title>" + ref + "</dc:title><res>" + ref + "</res></item></r>";
}

} // namespace

TEST(ReaderHostileInput, EntityExpansionIsBounded) {
    QByteArray laughs = "<!ENTITY e0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        QByteArray value;
        for (int j = 0; j < 10; ++j)
            value += "&e" + QByteArray::number(i - 1) + ";";
        laughs += "<!ENTITY e" + QByteArray::number(i) + " \"" + value + "\">";
    }
    const QByteArray big(60000, 'x');
    struct Case {
        const char* what;
        QByteArray xml;
    };
    const Case cases[] = {
        {"billion laughs", everywhere(laughs, "&e9;")},
        {"billion laughs, inner level", everywhere(laughs, "&e4;")},
        {"one large entity used often",
         everywhere("<!ENTITY e \"" + big + "\">", QByteArray("&e;").repeated(2000))},
    };
    for (const Case& c : cases) {
        for (const Reader& reader : readers) {
            // 3 billion characters would come out of an unbounded expansion.
            EXPECT_LT(reader.read(c.xml), 10 * c.xml.size()) << c.what << ", " << reader.name;
        }
    }
}

TEST(ReaderHostileInput, ExternalEntitiesAreNeverFetched) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress(test::loopback(2)), 0));
    const QByteArray http =
        "http://" + test::loopback(2).toLatin1() + ":" + QByteArray::number(server.serverPort()) + "/x";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile secret(dir.filePath("secret.txt"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("SECRET-MARKER");
    secret.close();
    const QByteArray file = QUrl::fromLocalFile(secret.fileName()).toEncoded();

    const QByteArray cases[] = {
        everywhere("<!ENTITY e SYSTEM \"" + file + "\">", "&e;"),
        everywhere("<!ENTITY e SYSTEM \"" + http + "\">", "&e;"),
        everywhere("<!ENTITY % p SYSTEM \"" + http + "\"> %p;", "x"),
        "<?xml version=\"1.0\"?><!DOCTYPE r SYSTEM \"" + http + "\"><r><a>x</a></r>",
        "<?xml version=\"1.0\"?><!DOCTYPE r PUBLIC \"-//x//y\" \"" + file + "\"><r><a>&e;</a></r>",
    };
    for (const QByteArray& xml : cases) {
        for (const Reader& reader : readers)
            reader.read(xml);
        const Fields fields = LeafParser::parse(xml);
        for (auto it = fields.begin(); it != fields.end(); ++it)
            EXPECT_FALSE(it.value().contains("SECRET-MARKER")) << xml.constData();
        for (const Favorite& favorite : FavoritesParser::parse(QString::fromUtf8(xml), "10.0.0.1"))
            EXPECT_FALSE(favorite.title.contains("SECRET-MARKER") || favorite.uri.contains("SECRET-MARKER"));
    }
    // Reading is synchronous: a fetch would have connected by now.
    EXPECT_FALSE(server.waitForNewConnection(0)) << "a reader fetched an external entity";
}

TEST(ReaderHostileInput, BrokenEncodings) {
    const QByteArray cases[] = {
        QByteArray("<r><a>ok</a><b>\xff\xfe\xc3</b><c>after</c></r>"),
        QByteArray("<r><a>ok</a><b \xc3=\"1\">x</b></r>"),
        QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><a>ok</a><b>\xed\xa0\x80</b></r>"),
        QByteArray("<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><r><a>x</a></r>"),
        QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?><r><a>x</a></r>"),
        QByteArray("\xfe\xff\x00<\x00r\x00>"),
        QByteArray("<r><a>nul\0inside</a></r>", 25),
    };
    for (const QByteArray& xml : cases) {
        for (const Reader& reader : readers)
            EXPECT_LE(reader.read(xml), 2 * xml.size()) << reader.name;
    }
    // Whatever is read before the bad bytes is kept, as for any other fault in a document.
    EXPECT_EQ(LeafParser::parse(cases[0]), (Fields{{"a", "ok"}}));
    EXPECT_EQ(LeafParser::parse(cases[2]), (Fields{{"a", "ok"}}));
    EXPECT_EQ(LastChangeParser::parse(QByteArray("<E><A val=\"1\"/><B val=\"\xc3\x28\"/></E>")),
              (Fields{{"A", "1"}}));
    // A document in another encoding is not cut.
    EXPECT_EQ(
        LeafParser::parse(QByteArray("<?xml version='1.0' encoding='latin1'?><a>\xe9t\xe9</a>")).value("a"),
        QStringLiteral("été"));
    // Text that holds lone surrogates cannot be written as UTF-8; it is read without a crash.
    const QString lone = QStringLiteral("<r><a>x") + QChar(0xD800) + QStringLiteral("</a><b>y</b></r>");
    LeafParser::parse(lone);
    TopologyParser::parse(lone);
    LastChangeParser::parse(lone);
    FavoritesParser::parse(lone, "10.0.0.1");
}

TEST(XmlBytes, ValidUtf8Prefix) {
    struct Case {
        QByteArray bytes;
        qsizetype valid;
    };
    const Case cases[] = {
        {"", 0},
        {"plain", 5},
        {"K\xc3\xbc"
         "che",
         6},
        {"\xe2\x82\xac\xf0\x9f\x8e\xb5", 7}, // three and four bytes
        {"ab\xff", 2},
        {"ab\xc3", 2},             // cut inside a character
        {"ab\xc0\xaf", 2},         // overlong
        {"ab\xe0\x80\xaf", 2},     // overlong
        {"ab\xed\xa0\x80", 2},     // surrogate
        {"ab\xf4\x90\x80\x80", 2}, // above U+10FFFF
        {"ab\xe2\x82", 2},         // truncated
        {"ab\xe2\x28\xa1", 2},     // bad continuation
        {QByteArray("a\0b", 3), 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XmlBytes::validUtf8Length(c.bytes), c.valid) << c.bytes.toHex().constData();
}

TEST(ReaderHostileInput, LargeBodiesAreReadWhole) {
    const QByteArray member =
        "<ZoneGroupMember UUID=\"RINCON_X\" ZoneName=\"Room\" "
        "Location=\"http://10.0.0.2:1400/xml/device_description.xml\" Invisible=\"0\"/>";
    QByteArray topology = "<ZoneGroups>";
    int groups = 0;
    while (topology.size() < 4 * 1024 * 1024) {
        topology += "<ZoneGroup ID=\"G" + QByteArray::number(groups++) + "\" Coordinator=\"RINCON_X\">" +
                    member.repeated(4) + "</ZoneGroup>";
    }
    topology += "</ZoneGroups>";
    const QList<TopologyParser::Group> read = TopologyParser::parse(topology);
    ASSERT_EQ(read.size(), groups);
    EXPECT_EQ(read.last().members.size(), 4);

    const QByteArray text(4 * 1024 * 1024, 'x');
    EXPECT_EQ(LeafParser::parse("<r><a>" + text + "</a></r>").value("a").size(), text.size());
    const QString didl = "<DIDL-Lite><item id=\"1\"><dc:title>T</dc:title><res>" + QString::fromLatin1(text) +
                         "</res></item></DIDL-Lite>";
    ASSERT_EQ(FavoritesParser::parse(didl, "10.0.0.1").size(), 1);

    for (const Reader& reader : readers)
        EXPECT_LE(reader.read(text), 0) << reader.name << ": 4 MB that are no XML";
}

TEST(ReaderHostileInput, DeepNesting) {
    const int depth = 100000;
    const QByteArray inner =
        "<ZoneGroup ID=\"G\"><ZoneGroupMember UUID=\"U\" Location=\"http://10.0.0.2:1400/x\"/>"
        "</ZoneGroup><v val=\"1\"/><item id=\"1\"><dc:title>T</dc:title><res>u</res></item><a>deep</a>";
    const QByteArray open = QByteArray("<n>").repeated(depth);
    const QByteArray close = QByteArray("</n>").repeated(depth);
    const QByteArray whole = open + inner + close;
    EXPECT_EQ(LeafParser::parse(whole).value("a"), "deep");
    EXPECT_EQ(TopologyParser::parse(whole).size(), 1);
    EXPECT_EQ(LastChangeParser::parse(whole).value("v"), "1");
    EXPECT_EQ(FavoritesParser::parse(QString::fromLatin1(whole), "10.0.0.1").size(), 1);
    EXPECT_EQ(LeafParser::parse(open + inner).value("a"), "deep") << "never closed";
    EXPECT_EQ(TopologyParser::parse(open + inner + "</x>").size(), 1) << "closed wrongly";
}

TEST(ReaderHostileInput, TruncatedRepliesGiveWhatTheWholeReplyGives) {
    SKIP_WITHOUT_FIXTURES();
    // Cut every captured reply at many places: every field read from a prefix is a field of
    // the whole reply, and the topology of a prefix has no more groups than the whole one.
    const QStringList files = QDir(test::fixturesDir()).entryList({"*.xml"}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        const QByteArray whole = test::fixture(name).value();
        const Fields leaf = LeafParser::parse(whole);
        const Fields lastChange = LastChangeParser::parse(whole);
        const qsizetype groups = TopologyParser::parse(whole).size();
        for (qsizetype cut = 0; cut < whole.size(); cut += 17) {
            const QByteArray prefix = whole.left(cut);
            const Fields partLeaf = LeafParser::parse(prefix);
            for (auto it = partLeaf.begin(); it != partLeaf.end(); ++it)
                ASSERT_EQ(leaf.value(it.key()), it.value()) << name.toStdString() << " cut at " << cut;
            const Fields partLastChange = LastChangeParser::parse(prefix);
            for (auto it = partLastChange.begin(); it != partLastChange.end(); ++it)
                ASSERT_EQ(lastChange.value(it.key()), it.value()) << name.toStdString() << " cut at " << cut;
            ASSERT_LE(TopologyParser::parse(prefix).size(), groups)
                << name.toStdString() << " cut at " << cut;
            FavoritesParser::parse(QString::fromUtf8(prefix), "10.0.0.1");
        }
    }
}
