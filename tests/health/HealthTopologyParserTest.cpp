#include "health/HealthTopologyParser.h"

#include "protocol/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QStringList uuids(const QList<HealthTopologyParser::Device>& devices) {
    QStringList out;
    for (const auto& device : devices)
        out.append(device.uuid);
    return out;
}

TEST(HealthTopologyParser, DevicesAndVanishedDevices) {
    struct Case {
        const char* name;
        const char* xml;
        QStringList devices;
        QStringList vanished;
    };
    const Case cases[] = {
        {"members and satellites, first of a UUID wins",
         R"(<ZoneGroupState><ZoneGroups><ZoneGroup><ZoneGroupMember UUID="A" ZoneName="One">)"
         R"(<Satellite UUID="S" ZoneName="first"/><Satellite UUID="S" ZoneName="second"/></ZoneGroupMember>)"
         R"(<ZoneGroupMember UUID="B"/></ZoneGroup></ZoneGroups></ZoneGroupState>)",
         {"A", "S", "B"},
         {}},
        {"vanished devices keep duplicates; a member inside them counts",
         R"(<ZoneGroupState><ZoneGroups><ZoneGroup><ZoneGroupMember UUID="A"/></ZoneGroup></ZoneGroups>)"
         R"(<VanishedDevices><Device UUID="V1"/><Device UUID="V1"/><Device ZoneName="no id"/>)"
         R"(<ZoneGroupMember UUID="M"/></VanishedDevices><Device UUID="outside"/></ZoneGroupState>)",
         {"A", "M"},
         {"V1", "V1"}},
        {"members without UUID are skipped",
         R"(<ZoneGroups><ZoneGroupMember ZoneName="x"/><ZoneGroupMember/></ZoneGroups>)",
         {},
         {}},
        {"element names are case-sensitive",
         R"(<zonegroupmember UUID="a"/><ZONEGROUPMEMBER UUID="b"/>)",
         {},
         {}},
        {"malformed before any member",
         R"(<ZoneGroups><ZoneGroup <<<ZoneGroupMember UUID="A"/></ZoneGroups>)",
         {},
         {}},
        {"malformed keeps what came before",
         R"(<ZoneGroups><ZoneGroupMember UUID="A"/><ZoneGroupMember UUID="B" <<)",
         {"A"},
         {}},
    };
    for (const Case& c : cases) {
        const HealthTopologyParser parsed = HealthTopologyParser::parse(QString::fromUtf8(c.xml));
        EXPECT_EQ(uuids(parsed.devices), c.devices) << c.name;
        EXPECT_EQ(uuids(parsed.vanished), c.vanished) << c.name;
        // The quick test that decides whether an answer is usable agrees with the full read.
        EXPECT_EQ(HealthTopologyParser::hasDevice(QString::fromUtf8(c.xml)), !c.devices.isEmpty()) << c.name;
    }
    const auto parsed = HealthTopologyParser::parse(QString::fromUtf8(cases[0].xml));
    EXPECT_EQ(parsed.devices[1].attributes.value(QStringLiteral("ZoneName")), QStringLiteral("first"));
}

TEST(HealthTopologyParser, SpeakerFromAttributes) {
    using Attrs = QHash<QString, QString>;
    struct Case {
        Attrs attributes;
        HealthLink link;
        std::optional<std::int64_t> mhz;
        bool extender;
    };
    const Case cases[] = {
        {{{"EthLink", "1"}, {"WirelessMode", "1"}, {"ChannelFreq", "2412"}},
         HealthLink::ethernet,
         std::nullopt,
         false},
        {{{"WirelessMode", "1"}, {"ChannelFreq", "5180"}}, HealthLink::wifi, 5180, false},
        {{{"WirelessMode", "0"}}, HealthLink::sonosNet, std::nullopt, false},
        {{{"WirelessMode", "0"}, {"WifiEnabled", "0"}}, HealthLink::unknown, std::nullopt, false},
        {{{"WirelessMode", "2"}, {"ChannelFreq", "x12"}}, HealthLink::unknown, std::nullopt, false},
        {{{"BehindWifiExtender", "0"}}, HealthLink::unknown, std::nullopt, false},
        {{{"BehindWifiExtender", ""}}, HealthLink::unknown, std::nullopt, true},
        {{{"BehindWifiExtender", "2"}, {"ChannelFreq", "-7"}}, HealthLink::unknown, -7, true},
    };
    for (const Case& c : cases) {
        const HealthSpeaker s = Health::speakerFromTopology(c.attributes, QStringLiteral("RINCON_1"));
        EXPECT_EQ(s.link, c.link);
        EXPECT_EQ(s.channelMHz, c.mhz);
        EXPECT_EQ(s.behindExtender, c.extender);
        EXPECT_TRUE(s.inSystem);
        EXPECT_FALSE(s.reachable);
    }
    const HealthSpeaker named =
        Health::speakerFromTopology({{"ZoneName", "Bad"},
                                     {"Location", "http://192.168.1.30:1400/xml/device_description.xml"},
                                     {"SoftwareVersion", "85.0-64200"}},
                                    QStringLiteral("RINCON_2"));
    EXPECT_EQ(named.name, QStringLiteral("Bad"));
    EXPECT_EQ(named.host, QStringLiteral("192.168.1.30"));
    EXPECT_EQ(named.version, std::optional<QString>(QStringLiteral("85.0-64200")));
    const HealthSpeaker bare =
        Health::speakerFromTopology({{"Location", "not a url"}}, QStringLiteral("RINCON_3"));
    EXPECT_EQ(bare.name, QStringLiteral("RINCON_3"));
    EXPECT_EQ(bare.host, QString());
    EXPECT_EQ(bare.version, std::nullopt);
}

} // namespace
