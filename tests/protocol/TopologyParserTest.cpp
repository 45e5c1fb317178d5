#include "protocol/TopologyParser.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using Group = TopologyParser::Group;
using Member = TopologyParser::Member;

namespace {

QString member(const QString& attributes) {
    return QStringLiteral("<ZoneGroupMember %1/>").arg(attributes);
}

const QString location = QStringLiteral("Location=\"http://192.168.1.20:1400/xml/device_description.xml\"");

} // namespace

TEST(TopologyParser, ReadsGroupsAndTheirVisibleMembers) {
    const QString xml = QStringLiteral("<ZoneGroupState><ZoneGroups>"
                                       "<ZoneGroup Coordinator=\"RINCON_A\" ID=\"RINCON_A:1\">"
                                       "<ZoneGroupMember UUID=\"RINCON_A\" ZoneName=\"Küche\" "
                                       "Location=\"http://10.0.0.5:1400/xml/device_description.xml\">"
                                       "<Satellite UUID=\"RINCON_S\" ZoneName=\"Küche\" "
                                       "Location=\"http://10.0.0.9:1400/x\" Invisible=\"1\"/>"
                                       "<Satellite UUID=\"RINCON_T\" ZoneName=\"Sub\" "
                                       "Location=\"http://10.0.0.10:1400/x\"/>"
                                       "</ZoneGroupMember>"
                                       "<ZoneGroupMember UUID=\"RINCON_B\" ZoneName=\"Bad\" "
                                       "Location=\"http://10.0.0.6:1400/xml/device_description.xml\"/>"
                                       "</ZoneGroup>"
                                       "<ZoneGroup Coordinator=\"RINCON_C\" ID=\"RINCON_C:2\">"
                                       "<ZoneGroupMember UUID=\"RINCON_C\" ZoneName=\"Büro\" "
                                       "Location=\"http://10.0.0.7:1400/xml/device_description.xml\"/>"
                                       "</ZoneGroup></ZoneGroups>"
                                       "<VanishedDevices><Device UUID=\"RINCON_V\" ZoneName=\"Alt\" "
                                       "Location=\"http://10.0.0.8:1400/x\"/></VanishedDevices>"
                                       "</ZoneGroupState>");
    const QList<Group> expected = {
        {"RINCON_A:1",
         "RINCON_A",
         {{"RINCON_A", QStringLiteral("Küche"), "10.0.0.5"}, {"RINCON_B", "Bad", "10.0.0.6"}}},
        {"RINCON_C:2", "RINCON_C", {{"RINCON_C", QStringLiteral("Büro"), "10.0.0.7"}}},
    };
    EXPECT_EQ(TopologyParser::parse(xml), expected);
    EXPECT_EQ(TopologyParser::parse(xml.toUtf8()), expected);
}

TEST(TopologyParser, DropsMembersThatAreNotVisibleSpeakers) {
    struct Case {
        const char* what;
        QString attributes;
        std::optional<Member> expected;
    };
    const Case cases[] = {
        {"visible", "UUID=\"U\" ZoneName=\"Z\" " + location, Member{"U", "Z", "192.168.1.20"}},
        {"invisible", "UUID=\"U\" Invisible=\"1\" " + location, std::nullopt},
        {"Invisible=0 stays", "UUID=\"U\" Invisible=\"0\" " + location, Member{"U", "U", "192.168.1.20"}},
        {"Invisible=true stays", "UUID=\"U\" Invisible=\"true\" " + location,
         Member{"U", "U", "192.168.1.20"}},
        {"zone bridge", "UUID=\"U\" IsZoneBridge=\"1\" " + location, std::nullopt},
        {"no UUID", "ZoneName=\"Z\" " + location, std::nullopt},
        {"empty UUID is still a UUID", "UUID=\"\" ZoneName=\"Z\" " + location,
         Member{"", "Z", "192.168.1.20"}},
        {"no Location", "UUID=\"U\" ZoneName=\"Z\"", std::nullopt},
        {"Location not a URL", "UUID=\"U\" Location=\"http://exa mple:1400/\"", std::nullopt},
        {"Location without host", "UUID=\"U\" Location=\"/xml/device_description.xml\"", std::nullopt},
        {"Location empty", "UUID=\"U\" Location=\"\"", std::nullopt},
        {"no ZoneName gives the UUID", "UUID=\"RINCON_X\" " + location,
         Member{"RINCON_X", "RINCON_X", "192.168.1.20"}},
        {"empty ZoneName is kept", "UUID=\"U\" ZoneName=\"\" " + location, Member{"U", "", "192.168.1.20"}},
        {"host without port and path", "UUID=\"U\" Location=\"http://speaker.local/\"",
         Member{"U", "U", "speaker.local"}},
        {"host is lower-cased", "UUID=\"U\" Location=\"http://Speaker.LOCAL:1400/x\"",
         Member{"U", "U", "speaker.local"}},
        {"names are case-sensitive", "uuid=\"U\" " + location, std::nullopt},
    };
    for (const Case& c : cases) {
        const QList<Group> groups =
            TopologyParser::parse("<ZoneGroups><ZoneGroup ID=\"G\" Coordinator=\"C\">" +
                                  member(c.attributes) + "</ZoneGroup></ZoneGroups>");
        ASSERT_EQ(groups.size(), 1) << c.what;
        if (c.expected)
            EXPECT_EQ(groups[0].members, QList<Member>{*c.expected}) << c.what;
        else
            EXPECT_TRUE(groups[0].members.isEmpty()) << c.what;
    }
}

TEST(TopologyParser, GroupEdges) {
    struct Case {
        const char* what;
        QString xml;
        QList<Group> expected;
    };
    const QString visible = member("UUID=\"U\" ZoneName=\"Z\" " + location);
    const Case cases[] = {
        {"member before any group is dropped",
         "<ZoneGroups>" + visible + "<ZoneGroup ID=\"G\" Coordinator=\"C\"/></ZoneGroups>",
         {{"G", "C", {}}}},
        {"group with only an invisible member is kept",
         "<ZoneGroups><ZoneGroup ID=\"G\" Coordinator=\"C\">" +
             member("UUID=\"U\" Invisible=\"1\" " + location) + "</ZoneGroup></ZoneGroups>",
         {{"G", "C", {}}}},
        {"group without ID or Coordinator",
         "<ZoneGroup>" + visible + "</ZoneGroup>",
         {{"", "", {{"U", "Z", "192.168.1.20"}}}}},
        {"member goes to the latest group even after its end",
         "<r><ZoneGroup ID=\"G1\"/><ZoneGroup ID=\"G2\"/>" + visible + "</r>",
         {{"G1", "", {}}, {"G2", "", {{"U", "Z", "192.168.1.20"}}}}},
        {"prefixed names are other elements", "<t:ZoneGroup ID=\"G\">" + visible + "</t:ZoneGroup>", {}},
        {"truncated: what started stays",
         "<ZoneGroups><ZoneGroup ID=\"G\">" + visible + "<ZoneGroup ID=\"H\"",
         {{"G", "", {{"U", "Z", "192.168.1.20"}}}}},
        {"empty", "", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TopologyParser::parse(c.xml), c.expected) << c.what;
}

// One reading of a document gives what the two separate readings give: the groups, and the
// boot number of every member and satellite that states a number.
TEST(TopologyParser, ReadsGroupsAndBootNumbersInOnePass) {
    const QString xml = QStringLiteral("<ZoneGroupState><ZoneGroups>"
                                       "<ZoneGroup Coordinator=\"RINCON_A\" ID=\"RINCON_A:1\">"
                                       "<ZoneGroupMember UUID=\"RINCON_A\" ZoneName=\"Küche\" BootSeq=\"41\" "
                                       "Location=\"http://10.0.0.5:1400/xml/device_description.xml\">"
                                       "<Satellite UUID=\"RINCON_S\" BootSeq=\"7\" Invisible=\"1\" "
                                       "Location=\"http://10.0.0.9:1400/x\"/>"
                                       "</ZoneGroupMember>"
                                       "<ZoneGroupMember UUID=\"RINCON_B\" ZoneName=\"Bad\" BootSeq=\"x9\" "
                                       "Location=\"http://10.0.0.6:1400/xml/device_description.xml\"/>"
                                       "<ZoneGroupMember UUID=\"RINCON_H\" Invisible=\"1\" BootSeq=\"3\" "
                                       "Location=\"http://10.0.0.11:1400/x\"/>"
                                       "</ZoneGroup></ZoneGroups></ZoneGroupState>");
    const QHash<QString, qint64> seqs{{"RINCON_A", 41}, {"RINCON_S", 7}, {"RINCON_H", 3}};
    const QList<Group> groups = {
        {"RINCON_A:1",
         "RINCON_A",
         {{"RINCON_A", QStringLiteral("Küche"), "10.0.0.5"}, {"RINCON_B", "Bad", "10.0.0.6"}}}};
    const TopologyParser::Document document = TopologyParser::read(xml);
    EXPECT_EQ(document.groups, groups);
    EXPECT_EQ(document.bootSeqs, seqs);
    EXPECT_EQ(TopologyParser::parse(xml), groups);
    EXPECT_EQ(TopologyParser::bootSeqs(xml), seqs);
}
