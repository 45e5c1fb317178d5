#include "protocol/LeafParser.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    const char* xml;
    Fields expected;
};

} // namespace

TEST(LeafParser, FlattensElementsByTheirWrittenName) {
    const Case cases[] = {
        {"empty input", "", {}},
        {"one leaf", "<a>x</a>", {{"a", "x"}}},
        {"the first to end wins", "<r><a>first</a><a>second</a></r>", {{"a", "first"}}},
        {"first in order of end tags", "<r><a><b>in</b><a>inner</a></a></r>", {{"b", "in"}, {"a", "inner"}}},
        {"a single space is text", "<r><a> </a><a>later</a></r>", {{"a", " "}}},
        {"an empty element is not recorded", "<r><a></a><a/><a>later</a></r>", {{"a", "later"}}},
        {"text is kept untrimmed", "<a>\n  two words \n</a>", {{"a", "\n  two words \n"}}},
        {"prefix kept",
         "<s:Envelope xmlns:s=\"x\"><s:Body><u:R xmlns:u=\"y\"><v>1</v></u:R></s:Body></s:Envelope>",
         {{"v", "1"}}},
        {"prefixed leaf kept with prefix", "<s:Body xmlns:s=\"x\">t</s:Body>", {{"s:Body", "t"}}},
        {"names are case-sensitive", "<r><A>1</A><a>2</a></r>", {{"A", "1"}, {"a", "2"}}},
        {"undeclared prefix is fine", "<dc:title>T</dc:title>", {{"dc:title", "T"}}},
        {"container records its trailing text", "<r>\n  <a>1</a>\n</r>", {{"a", "1"}, {"r", "\n"}}},
        {"entities decoded", "<a>Ex&apos;s &amp; Oh&#39;s &#x263A;</a>", {{"a", "Ex's & Oh's \u263A"}}},
        {"CDATA dropped", "<r><a><![CDATA[hidden]]></a><b>x<![CDATA[y]]>z</b></r>", {{"b", "xz"}}},
        {"comments and PIs dropped", "<r><a><!-- c -->x<?pi data?>y</a></r>", {{"a", "xy"}}},
        {"attributes ignored", "<r><a v=\"1\"/><b v=\"2\">t</b></r>", {{"b", "t"}}},
        {"partial on malformed input", "<r><a>kept</a><b>lost</c></r>", {{"a", "kept"}}},
        {"partial on truncated input", "<r><a>kept</a><b>cut", {{"a", "kept"}}},
        {"garbage gives nothing", "not xml at all", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LeafParser::parse(QString::fromUtf8(c.xml)), c.expected) << c.what;
        EXPECT_EQ(LeafParser::parse(QByteArray(c.xml)), c.expected) << c.what << " (bytes)";
    }
}

TEST(LeafParser, EscapedDocumentIsReadBySecondPass) {
    const QString reply = QStringLiteral(
        "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body>"
        "<u:GetPositionInfoResponse xmlns:u=\"urn:schemas-upnp-org:service:AVTransport:1\">"
        "<Track>3</Track><TrackMetaData>&lt;DIDL-Lite "
        "xmlns:dc=&quot;http://purl.org/dc/elements/1.1/&quot;&gt;"
        "&lt;item id=&quot;-1&quot;&gt;&lt;dc:title&gt;Ex&amp;apos;s &amp;amp; Oh&amp;apos;s&lt;/dc:title&gt;"
        "&lt;/item&gt;&lt;/DIDL-Lite&gt;</TrackMetaData></u:GetPositionInfoResponse></s:Body></s:Envelope>");
    const Fields outer = LeafParser::parse(reply);
    EXPECT_EQ(outer.value("Track"), "3");
    EXPECT_FALSE(outer.contains("dc:title")) << "elements inside the escaped text are not elements";
    const QString didl = outer.value("TrackMetaData");
    EXPECT_TRUE(didl.startsWith("<DIDL-Lite xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><item id=\"-1\">"));
    EXPECT_EQ(LeafParser::parse(didl).value("dc:title"), "Ex's & Oh's");
}

TEST(LeafParser, TextIsReadAsUtf8WhateverItsDeclarationSays) {
    // A decoded reply can carry a declaration naming another encoding; the text is already
    // decoded, so it must not be decoded a second time.
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Küche</a>");
    EXPECT_EQ(LeafParser::parse(text).value("a"), QStringLiteral("Küche"));
    // Raw bytes follow their declaration.
    EXPECT_EQ(LeafParser::parse(QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>K\xfc"
                                           "che</a>"))
                  .value("a"),
              QStringLiteral("Küche"));
}
