#include "protocol/LastChangeParser.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

TEST(LastChangeParser, RecordsTheFirstMasterValueOfEachVariable) {
    struct Case {
        const char* what;
        const char* xml;
        Fields expected;
    };
    const Case cases[] = {
        {"instance id is recorded",
         "<Event><InstanceID val=\"0\"><TransportState val=\"PLAYING\"/></InstanceID></Event>",
         {{"InstanceID", "0"}, {"TransportState", "PLAYING"}}},
        {"other channel first, then Master",
         "<Event><InstanceID val=\"0\"><Volume channel=\"LF\" val=\"10\"/><Volume channel=\"Master\" "
         "val=\"30\"/>"
         "<Volume channel=\"Master\" val=\"99\"/></InstanceID></Event>",
         {{"InstanceID", "0"}, {"Volume", "30"}}},
        {"no channel counts as Master",
         "<E><Mute val=\"1\"/><Mute channel=\"Master\" val=\"0\"/></E>",
         {{"Mute", "1"}}},
        {"channel is case-sensitive", "<E><Mute channel=\"master\" val=\"1\"/></E>", {}},
        {"no val is ignored", "<E><Volume channel=\"Master\"/><Volume val=\"5\"/></E>", {{"Volume", "5"}}},
        {"empty val is a value", "<E><A val=\"\"/><A val=\"x\"/></E>", {{"A", ""}}},
        {"prefix kept",
         "<E xmlns:r=\"x\"><r:SleepTimerGeneration val=\"2\"/></E>",
         {{"r:SleepTimerGeneration", "2"}}},
        {"val decoded",
         "<E><CurrentTrackMetaData val=\"&lt;DIDL-Lite&gt;&lt;dc:title&gt;A &amp;amp; "
         "B&lt;/dc:title&gt;&lt;/DIDL-Lite&gt;\"/></E>",
         {{"CurrentTrackMetaData", "<DIDL-Lite><dc:title>A &amp; B</dc:title></DIDL-Lite>"}}},
        {"element text is ignored", "<E><A>text</A></E>", {}},
        {"partial on malformed input", "<E><A val=\"1\"/><B val=\"2\"></C></E>", {{"A", "1"}, {"B", "2"}}},
        {"truncated attribute is lost", "<E><A val=\"1\"/><B val=\"2", {{"A", "1"}}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LastChangeParser::parse(QString::fromUtf8(c.xml)), c.expected) << c.what;
        EXPECT_EQ(LastChangeParser::parse(QByteArray(c.xml)), c.expected) << c.what << " (bytes)";
    }
}
