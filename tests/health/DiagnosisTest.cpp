#include "health/Diagnosis.h"

#include "core/Texts.h"

#include "protocol/QtPrinters.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

HealthSpeaker reachable(const QString& id, std::optional<double> latency = 0.02) {
    HealthSpeaker s;
    s.id = id;
    s.name = QStringLiteral("Room ") + id;
    s.host = QStringLiteral("192.168.1.") + QString::number(id.size() + 10);
    s.reachable = true;
    s.latency = latency;
    return s;
}

HealthSpeaker with(HealthSpeaker s, const std::function<void(HealthSpeaker&)>& change) {
    change(s);
    return s;
}

// The text as the user sees it: looked up, then filled.
QString shown(const char* german, const QStringList& arguments = {}) {
    return Texts::fill(L(QString::fromUtf8(german)), arguments);
}

QStringList ids(const QList<HealthIssue>& issues) {
    QStringList out;
    for (const HealthIssue& issue : issues)
        out.append(issue.id);
    return out;
}

struct Case {
    const char* name;
    QList<HealthSpeaker> speakers;
    MacNetwork mac;
    std::optional<HealthUpdate> update;
    QStringList expected;
};

MacNetwork macWith(const std::function<void(MacNetwork&)>& change) {
    MacNetwork mac;
    change(mac);
    return mac;
}

const MacNetwork homeMac = macWith([](MacNetwork& m) {
    m.address = QStringLiteral("192.168.1.20");
    m.netmask = QStringLiteral("255.255.255.0");
});

TEST(Diagnosis, RulesFireInTheirOrder) {
    const auto v = [](const char* version) {
        return [version](HealthSpeaker& s) { s.version = QString::fromLatin1(version); };
    };
    const auto host = [](const char* text) {
        return [text](HealthSpeaker& s) { s.host = QString::fromLatin1(text); };
    };
    const Case cases[] = {
        {"no speakers", {}, {}, std::nullopt, {"none"}},
        {"no speakers, NAT and VPN",
         {},
         macWith([](MacNetwork& m) {
             m.doubleNAT = true;
             m.vpn = true;
         }),
         std::nullopt,
         {"none", "nat", "vpn"}},
        {"absent double NAT is silent",
         {reachable("A")},
         macWith([](MacNetwork& m) { m.doubleNAT = std::nullopt; }),
         std::nullopt,
         {}},
        {"unreachable in system and remembered, interleaved",
         {with(reachable("A"), [](HealthSpeaker& s) { s.reachable = false; }),
          with(reachable("B"),
               [](HealthSpeaker& s) {
                   s.reachable = false;
                   s.inSystem = false;
                   s.behindExtender = true;
               }),
          with(reachable("C"), [](HealthSpeaker& s) { s.reachable = false; })},
         homeMac,
         std::nullopt,
         {"blocked-A", "offline-B", "blocked-C"}},
        {"subnet fires for another network only",
         {with(reachable("A"), host("192.168.2.5")), with(reachable("B"), host("192.168.1.77")),
          with(reachable("C"), host("speaker.local"))},
         homeMac,
         std::nullopt,
         {"subnet-A"}},
        {"subnet silent without the mask",
         {with(reachable("A"), host("192.168.2.5"))},
         macWith([](MacNetwork& m) { m.address = QStringLiteral("192.168.1.20"); }),
         std::nullopt,
         {}},
        {"latency and repeater",
         {reachable("W", 0.25),
          with(reachable("X", 0.2499), [](HealthSpeaker& s) { s.behindExtender = true; }),
          with(reachable("Y", std::nullopt), [](HealthSpeaker& s) { s.behindExtender = true; }),
          reachable("Z", std::nullopt),
          with(reachable("V", 0.3), [](HealthSpeaker& s) { s.behindExtender = true; })},
         homeMac,
         std::nullopt,
         {"weak-W", "weak-V", "extender-X", "extender-Y"}},
        {"one version everywhere",
         {with(reachable("A"), v("1")), with(reachable("B"), v("1")), reachable("C")},
         homeMac,
         std::nullopt,
         {}},
        {"update ignores remembered speakers",
         {with(with(reachable("A"), v("1")), [](HealthSpeaker& s) { s.inSystem = false; }),
          with(reachable("B"), v("2"))},
         homeMac,
         HealthUpdate{QStringLiteral("2"), std::nullopt},
         {"firmware"}},
        {"problems before warnings, warnings in rule order",
         {with(reachable("A", 0.3), host("10.0.0.1")),
          with(reachable("B"), [](HealthSpeaker& s) { s.reachable = false; })},
         macWith([&](MacNetwork& m) {
             m = homeMac;
             m.vpn = true;
         }),
         std::nullopt,
         {"blocked-B", "subnet-A", "weak-A", "vpn"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ids(Diagnosis::issues(c.speakers, c.mac, c.update)), c.expected) << c.name;
}

TEST(Diagnosis, UnreachableSpeakersAndForgetting) {
    const auto issues = Diagnosis::issues(
        {with(reachable("A"), [](HealthSpeaker& s) { s.reachable = false; }), with(reachable("B"),
                                                                                   [](HealthSpeaker& s) {
                                                                                       s.reachable = false;
                                                                                       s.inSystem = false;
                                                                                   })},
        homeMac, std::nullopt);
    ASSERT_EQ(issues.size(), 2);
    EXPECT_EQ(issues[0].forgettable, std::nullopt);
    EXPECT_EQ(issues[1].forgettable, std::optional<QString>(QStringLiteral("B")));
    EXPECT_EQ(issues[1].speakers, QStringList{QStringLiteral("B")});
    EXPECT_EQ(issues[1].level, HealthLevel::problem);
    EXPECT_EQ(issues[1].title, shown("„%@“ antwortet nicht", {QStringLiteral("Room B")}));
}

TEST(Diagnosis, FirmwareNamesTheMinorityAndTheMajorityLabel) {
    const auto v = [](HealthSpeaker s, const char* version, std::optional<QString> display = std::nullopt) {
        s.version = QString::fromLatin1(version);
        s.displayVersion = display;
        return s;
    };
    HealthSpeaker kitchen = v(reachable("K"), "84.1");
    kitchen.name = QStringLiteral("Küche");
    const auto issues = Diagnosis::issues({v(reachable("A"), "85.0", QStringLiteral("16.1")), kitchen,
                                           v(reachable("B"), "85.0", QStringLiteral("16.1b")),
                                           v(reachable("C"), "85.0"), reachable("D")},
                                          homeMac, std::nullopt);
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].id, QStringLiteral("firmware"));
    EXPECT_EQ(issues[0].speakers, QStringList{QStringLiteral("K")});
    EXPECT_EQ(issues[0].detail,
              shown("%@ läuft nicht auf %@ wie die anderen. Ein Update in der Sonos-App unter "
                    "Einstellungen › System bringt alle auf denselben Stand.",
                    {QStringLiteral("„Küche“"), QStringLiteral("16.1")}));
}

TEST(Diagnosis, FirmwareTieGoesToTheFirstVersionInListOrder) {
    // Two versions with two speakers each: whichever comes first in the list is the majority,
    // every time (a hash order would make the answer change between runs).
    const auto v = [](const char* id, const char* version) {
        HealthSpeaker s = reachable(QString::fromLatin1(id));
        s.version = QString::fromLatin1(version);
        return s;
    };
    for (int round = 0; round < 20; ++round) {
        const auto issues =
            Diagnosis::issues({v("A", "2"), v("B", "1"), v("C", "1"), v("D", "2")}, homeMac, std::nullopt);
        ASSERT_EQ(issues.size(), 1);
        EXPECT_EQ(issues[0].speakers, (QStringList{QStringLiteral("B"), QStringLiteral("C")}));
        EXPECT_EQ(issues[0].detail,
                  shown("%@ läuft nicht auf %@ wie die anderen. Ein Update in der Sonos-App unter "
                        "Einstellungen › System bringt alle auf denselben Stand.",
                        {QStringLiteral("„Room B“, „Room C“"), QStringLiteral("2")}));
    }
}

TEST(Diagnosis, UpdateTitleAndReference) {
    HealthSpeaker a = reachable("A");
    a.version = QStringLiteral("85.0");
    a.displayVersion = QStringLiteral("16.1");
    auto issues =
        Diagnosis::issues({a}, homeMac, HealthUpdate{QStringLiteral("86.0"), QStringLiteral("16.2")});
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].title, shown("Software-Update verfügbar (%@)", {QStringLiteral("16.2")}));
    EXPECT_TRUE(issues[0].quiet);
    EXPECT_EQ(issues[0].detail,
              shown("Installiert ist %@. Starte das Update in der Sonos-App unter Einstellungen › "
                    "System › Software-Update.",
                    {QStringLiteral("16.1")}));
    issues = Diagnosis::issues({a}, homeMac, HealthUpdate{QStringLiteral("86.0"), std::nullopt});
    EXPECT_EQ(issues[0].title, shown("Software-Update verfügbar"));
    EXPECT_TRUE(
        Diagnosis::issues({a}, homeMac, HealthUpdate{QStringLiteral("85.0"), std::nullopt}).isEmpty());
}

TEST(Diagnosis, SubnetDetailNamesBothAddresses) {
    HealthSpeaker a = reachable("A");
    a.host = QStringLiteral("192.168.2.5");
    const auto issues = Diagnosis::issues({a}, homeMac, std::nullopt);
    ASSERT_EQ(issues.size(), 1);
    EXPECT_EQ(issues[0].detail,
              shown("Er hat %@, dein Computer %@. Meist steckt ein zweiter Router dahinter. Am "
                    "besten hängen Computer und Lautsprecher am selben Router.",
                    {QStringLiteral("192.168.2.5"), QStringLiteral("192.168.1.20")}));
    EXPECT_NE(L(QStringLiteral("„%@“ liegt in einem anderen Netz")),
              QStringLiteral("„%@“ liegt in einem anderen Netz"))
        << "the English table holds the health texts";
}

} // namespace
