// The pugixml readers against the Qt readers they replaced, over the captured speaker replies,
// the documents nested in them and many damaged variants of both.
#include "support/ReaderDifferential.h"
#include "ReaderFixtures.h"
#include "protocol/LeafParser.h"

#include <QDir>
#include <QStringEncoder>

#include <gtest/gtest.h>

namespace {

// Each captured reply, and the escaped documents it carries, read once by the leaf reader.
std::vector<std::pair<QString, QByteArray>> documents() {
    std::vector<std::pair<QString, QByteArray>> out;
    for (const QString& name : QDir(test::fixturesDir()).entryList({QStringLiteral("*.xml")}, QDir::Files)) {
        const QByteArray bytes = test::fixture(name).value();
        out.emplace_back(name, bytes);
        const Fields fields = LeafParser::parse(bytes);
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            if (it.value().contains(QLatin1Char('<')))
                out.emplace_back(name + QStringLiteral(" / ") + it.key(), it.value().toUtf8());
        }
    }
    return out;
}

} // namespace

TEST(ReaderDifferential, CapturedRepliesReadAlike) {
    SKIP_WITHOUT_FIXTURES();
    const auto all = documents();
    ASSERT_GT(all.size(), 19u);
    for (const auto& [name, bytes] : all)
        EXPECT_EQ(reference::disagreement(bytes).toStdString(), "") << name.toStdString();
}

TEST(ReaderDifferential, DamagedRepliesReadAlike) {
    SKIP_WITHOUT_FIXTURES();
    uint32_t seed = 1;
    for (const auto& [name, bytes] : documents()) {
        for (qsizetype cut = 0; cut < bytes.size(); cut += 13)
            ASSERT_EQ(reference::disagreement(bytes.left(cut)).toStdString(), "")
                << name.toStdString() << " cut at " << cut;
        int index = 0;
        for (const QByteArray& mutant : reference::mutations(bytes, 150, seed++)) {
            const QString found = reference::disagreement(mutant);
            if (!found.isEmpty()) {
                QFile dump(QDir::temp().filePath(QStringLiteral("reader-mutant.xml")));
                if (dump.open(QIODevice::WriteOnly))
                    dump.write(mutant);
                FAIL() << name.toStdString() << ", mutation " << index << " (written to "
                       << dump.fileName().toStdString() << "): " << found.toStdString();
            }
            ++index;
        }
    }
}

// Faults a streaming reader meets one by one: each keeps what came before it.
TEST(ReaderDifferential, HandWrittenFaultsReadAlike) {
    const char* const cases[] = {
        "<r><a>x</a><b>y</b",
        "<r><a>x</a></r",
        "<r><a>x</a><b y=\"1",
        "<r><a>x</a><b y=\"1\"",
        "<r><a>x</a><b y=\"<<<<\">z</b></r>",
        "<r><a>x</a><!-- <a> <b>",
        "<r><a>x</a><![CDATA[ <b>",
        "<r><a>x</a><? <b>",
        "<r><a>x</a></b></r>",
        "<r><a>x</a></r><r2><b>y</b></r2>",
        "<r><a>x</a></r>trailing",
        "<r><a>x&amp</a></r>",
        "<r><a>x&#xD800;</a><b>y</b></r>",
        "<r><a v=\"1\" v=\"2\">x</a><b>y</b></r>",
        "<r><E val=\"1\" channel=\"LF\"/><E val=\"2\"/><F val=\"3\"/></r",
        "<ZoneGroups><ZoneGroup ID=\"g\" Coordinator=\"c\"><ZoneGroupMember UUID=\"u\" "
        "Location=\"http://10.0.0.2:1400/x\"/><ZoneGroupMember UUID=\"v\" Location=\"http://10.0.0.3",
        "<DIDL-Lite><item id=\"1\"><dc:title>T</dc:title><res>u</res></item><item id=\"2\"><dc:title>U",
        "<r>\r\n<a b=\"x\ty\r\nz\">p\rq</a></r>",
    };
    for (const char* xml : cases)
        EXPECT_EQ(reference::disagreement(QByteArray(xml)).toStdString(), "") << xml;
}

// Raw bytes are decoded as their byte order mark or declaration says, as Qt's reader did.
TEST(ReaderDifferential, EncodingsReadAlike) {
    const QString text = QStringLiteral("<r><a>\u00e9t\u00e9 \u20ac</a><b v=\"\u00fc\">x</b></r>");
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QStringEncoder utf16be(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom);
    const QByteArray cases[] = {
        QByteArray(utf16(text)),
        QByteArray(utf16be(text)),
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r><a>\xe9t\xe9</a></r>",
        "<?xml version='1.0' encoding='latin1'?><r><a>\xe9t\xe9</a></r>",
        "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><r><a>x</a></r>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><a>ok</a><b>\xff</b></r>",
        "\xef\xbb\xbf<r><a>with a byte order mark</a></r>",
    };
    for (const QByteArray& bytes : cases)
        EXPECT_EQ(reference::disagreement(bytes).toStdString(), "") << bytes.toHex().constData();
    EXPECT_EQ(LeafParser::parse(cases[0]).value(QStringLiteral("a")), QStringLiteral("\u00e9t\u00e9 \u20ac"));
    EXPECT_EQ(LeafParser::parse(cases[2]).value(QStringLiteral("a")), QStringLiteral("\u00e9t\u00e9"));
}
