#include "health/HealthReport.h"
#include "health/IPv4.h"

#include "protocol/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

HealthIssue issue(const QString& id, HealthLevel level, bool quiet = false, QStringList speakers = {}) {
    return HealthIssue{id, level, {}, {}, std::nullopt, speakers, quiet};
}

HealthSpeaker speaker(const QString& id, bool reachable) {
    HealthSpeaker s;
    s.id = id;
    s.name = id;
    s.reachable = reachable;
    return s;
}

TEST(IPv4, ReadsLenientlyAndWritesDotted) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {"192.168.1.20", 0xC0A80114u}, {"256.1.1.1", std::nullopt}, {"1.2.3", std::nullopt},
        {"1..2.3.4", 0x01020304u},     {"10.x.0.0.1", 0x0A000001u}, {"+1.2.3.4", 0x01020304u},
        {"1.2.3.4.5", std::nullopt},   {"", std::nullopt},          {" 1.2.3.4", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(IPv4::parse(QString::fromLatin1(text)), expected) << text;
    EXPECT_EQ(IPv4::format(0xC0A80100u), QStringLiteral("192.168.1.0"));
}

TEST(HealthRatings, LevelsOfReportAndSpeakers) {
    EXPECT_EQ(Health::levelFromRaw(2), HealthLevel::problem);
    EXPECT_EQ(Health::levelFromRaw(3), std::nullopt);
    EXPECT_EQ(Health::levelFromRaw(-1), std::nullopt);
    EXPECT_LT(HealthLevel::ok, HealthLevel::warning);

    HealthReport report;
    EXPECT_EQ(report.overall(), HealthLevel::ok);
    EXPECT_EQ(report.panelLevel(), HealthLevel::ok);

    report.issues = {issue(QStringLiteral("update"), HealthLevel::warning, true),
                     issue(QStringLiteral("nat"), HealthLevel::warning, true)};
    EXPECT_EQ(report.overall(), HealthLevel::warning);
    EXPECT_EQ(report.panelLevel(), HealthLevel::ok);

    report.issues.append(issue(QStringLiteral("weak-A"), HealthLevel::warning, false, {QStringLiteral("A")}));
    EXPECT_EQ(report.level(speaker(QStringLiteral("A"), true)), HealthLevel::warning);
    EXPECT_EQ(report.level(speaker(QStringLiteral("B"), true)), HealthLevel::ok);
    EXPECT_EQ(report.level(speaker(QStringLiteral("C"), false)), HealthLevel::problem);
}

TEST(HealthRatings, WifiChannelOfFrequency) {
    const std::pair<std::optional<std::int64_t>, std::optional<std::int64_t>> cases[] = {
        {2484, 14},        {2412, 1},          {2437, 6},
        {5180, 36},        {5935, 187},        {5955, 1},
        {0, std::nullopt}, {-5, std::nullopt}, {std::nullopt, std::nullopt},
    };
    for (const auto& [mhz, channel] : cases) {
        HealthSpeaker s;
        s.channelMHz = mhz;
        EXPECT_EQ(s.channel(), channel) << mhz.value_or(-999);
    }
}

TEST(HealthRatings, SubnetOfTheComputer) {
    const std::tuple<std::optional<QString>, std::optional<QString>, std::optional<QString>> cases[] = {
        {QStringLiteral("10.0.0.7"), QStringLiteral("255.255.255.0"), QStringLiteral("10.0.0.0/24")},
        {QStringLiteral("192.168.1.20"), QStringLiteral("255.255.255.0"), QStringLiteral("192.168.1.0/24")},
        {QStringLiteral("10.1.2.3"), QStringLiteral("255.0.255.0"), QStringLiteral("10.0.2.0/16")},
        {QStringLiteral("10.0.0.7"), std::nullopt, std::nullopt},
        {QStringLiteral("host.local"), QStringLiteral("255.255.255.0"), std::nullopt},
    };
    for (const auto& [address, mask, expected] : cases) {
        MacNetwork mac;
        mac.address = address;
        mac.netmask = mask;
        EXPECT_EQ(mac.subnet(), expected);
    }
}

TEST(HealthUpdateParse, VersionAndDisplayVersion) {
    const std::tuple<const char*, std::optional<HealthUpdate>> cases[] = {
        {R"(<UpdateItem Type="Software" Version="85.1-65120" UpdateURL="https://u.example/x-v16.2-y/build-v16.2-1.bin" />)",
         HealthUpdate{QStringLiteral("85.1-65120"), QStringLiteral("16.2")}},
        {R"(<UpdateItem Version="85.1-65120" UpdateURL="https://u.example/build.bin" />)",
         HealthUpdate{QStringLiteral("85.1-65120"), std::nullopt}},
        {R"(<UpdateItem Version="1" UpdateURL="x-v1.2-a-v3.4.5-b"/>)",
         HealthUpdate{QStringLiteral("1"), QStringLiteral("3.4.5")}},
        {R"(<UpdateItem UpdateURL="x-v16.2-y" />)", std::nullopt},
        {R"(<UpdateItem Version="" />)", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(HealthUpdate::parse(QString::fromUtf8(text)), expected) << text;
}

TEST(SupportSummary, ExactTextWithFixedLocale) {
    HealthReport report;
    report.checkedAt = QDateTime(QDate(2026, 12, 9), QTime(11, 5));
    report.issues = {issue(QStringLiteral("offline-RINCON_B"), HealthLevel::problem),
                     issue(QStringLiteral("weak-A"), HealthLevel::warning),
                     issue(QStringLiteral("weak-C"), HealthLevel::warning),
                     issue(QStringLiteral("nat"), HealthLevel::warning, true)};
    report.mac.wifi = true;
    report.mac.interface = QStringLiteral("wlan0");
    report.mac.doubleNAT = true;
    HealthSpeaker a = speaker(QStringLiteral("A"), true);
    a.model = QStringLiteral("Model A");
    a.version = QStringLiteral("85.0-64200");
    a.link = HealthLink::wifi;
    a.channelMHz = 5180;
    a.latency = 0.0235;
    HealthSpeaker b = speaker(QStringLiteral("B"), false);
    b.model = QStringLiteral("Model B");
    b.inSystem = false;
    HealthSpeaker c = speaker(QStringLiteral("C"), true);
    c.link = HealthLink::wifi;
    c.channelMHz = 2437;
    c.behindExtender = true;
    c.latency = 0.0225;
    HealthSpeaker d = speaker(QStringLiteral("D"), false);
    d.link = HealthLink::ethernet;
    d.version = QStringLiteral("84.1");
    HealthSpeaker e = speaker(QStringLiteral("E"), true);
    e.link = HealthLink::sonosNet;
    e.channelMHz = 5935;
    e.latency = 0.0005;
    report.speakers = {a, b, c, d, e};
    report.update = HealthUpdate{QStringLiteral("86.1"), std::nullopt};

    EXPECT_EQ(report.supportSummary(QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("Geprüft: 09.12.26, 11:05\n"
                             "Hinweise: offline, weak, weak, nat\n"
                             "Update: 86.1\n"
                             "Computer: WLAN, VPN aus, Double NAT ja\n"
                             "- Model A: erreichbar, 85.0-64200, WLAN 5 GHz, 24 ms\n"
                             "- Model B: offline, ?, ?, \u2013\n"
                             "- ?: erreichbar, ?, WLAN 2,4 GHz Repeater, 23 ms\n"
                             "- ?: nicht erreichbar (im System), 84.1, LAN, \u2013\n"
                             "- ?: erreichbar, ?, SonosNet 6 GHz, 1 ms"));
}

TEST(SupportSummary, NoSpeakersGiveFourLines) {
    HealthReport report;
    report.checkedAt = QDateTime(QDate(2026, 1, 2), QTime(7, 30));
    report.mac.interface = QStringLiteral("eth0");
    report.mac.vpn = true;
    report.update = HealthUpdate{QStringLiteral("86.1"), QStringLiteral("16.2")};
    EXPECT_EQ(report.supportSummary(QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("Geprüft: 02.01.26, 07:30\nHinweise: keine\nUpdate: 16.2\n"
                             "Computer: LAN, VPN an, Double NAT ?"));
    report.mac = MacNetwork{};
    report.mac.doubleNAT = false;
    EXPECT_TRUE(report.supportSummary(QLocale(QLocale::German, QLocale::Germany))
                    .endsWith(QStringLiteral("Computer: kein Netz, VPN aus, Double NAT nein")));
}

TEST(SupportSummary, MillisecondsRoundHalfAwayFromZero) {
    const std::pair<double, const char*> cases[] = {
        {0.0234, "23 ms"}, {0.0235, "24 ms"}, {0.0225, "23 ms"}, {0.0005, "1 ms"}, {0.0245, "25 ms"}};
    for (const auto& [latency, text] : cases) {
        HealthReport report;
        HealthSpeaker s = speaker(QStringLiteral("A"), true);
        s.latency = latency;
        report.speakers = {s};
        EXPECT_TRUE(report.supportSummary().endsWith(QString::fromLatin1(text))) << latency;
    }
}

TEST(HealthIssueKind, TextBeforeTheFirstDash) {
    const std::pair<const char*, const char*> cases[] = {
        {"offline-RINCON_1", "offline"}, {"nat", "nat"}, {"-x-y", "x"}, {"---", "---"}, {"", ""}};
    for (const auto& [id, kind] : cases)
        EXPECT_EQ(issue(QString::fromLatin1(id), HealthLevel::ok).kind(), QString::fromLatin1(kind));
}

} // namespace
