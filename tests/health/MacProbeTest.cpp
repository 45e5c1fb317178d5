#include "health/Probe.h"
#include "platform/ToolRunner.h"
#include "platform/WifiInfo.h"

#include "support/Await.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "protocol/QtPrinters.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using Table = QMap<QString, QPair<QString, QString>>;

Probe::InterfaceEntry entry(const char* name, const char* ipv4, const char* mask = "255.255.255.0",
                            bool up = true) {
    Probe::InterfaceEntry e;
    e.name = QString::fromLatin1(name);
    e.up = up;
    if (ipv4)
        e.ipv4 = QString::fromLatin1(ipv4);
    if (mask)
        e.netmask = QString::fromLatin1(mask);
    return e;
}

// Answers each tool from a table and records what was asked; never starts a process.
class FakeTools : public ToolRunner {
public:
    QHash<QString, std::optional<QByteArray>> outputs; // program -> output (nothing: cannot start)
    QList<QStringList> calls;

    void run(const QString& program, const QStringList& arguments, std::chrono::milliseconds, QObject*,
             Done done) override {
        calls.append(QStringList{program} + arguments);
        done(outputs.value(program, std::nullopt));
    }
};

class FakeWifi : public WifiInfo {
public:
    QHash<QString, std::optional<QString>> networks; // wireless interfaces and their network
    bool isWireless(const QString& interface) override { return networks.contains(interface); }
    std::optional<QString> ssid(const QString& interface) override { return networks.value(interface); }
};

TEST(MacProbe, RouteOutput) {
    const auto route =
        Probe::parseRoute(QStringLiteral("default via 192.168.1.1 dev wlan0 proto dhcp metric 600\n"
                                         "default via 10.8.0.1 dev eth0 proto static metric 100\n"
                                         "default dev wg0 scope link metric 900\n"));
    EXPECT_EQ(route.gateway, std::optional<QString>(QStringLiteral("10.8.0.1")));
    EXPECT_EQ(route.interface, std::optional<QString>(QStringLiteral("eth0")));
    const auto single = Probe::parseRoute(QStringLiteral("default via 192.168.1.1 dev en0\n"));
    EXPECT_EQ(single.gateway, std::optional<QString>(QStringLiteral("192.168.1.1")));
    EXPECT_EQ(single.interface, std::optional<QString>(QStringLiteral("en0")));
    const auto none = Probe::parseRoute(QString());
    EXPECT_EQ(none.gateway, std::nullopt);
    EXPECT_EQ(none.interface, std::nullopt);
}

TEST(MacProbe, KernelRouteTable) {
    const auto route = Probe::parseProcRoute(
        QStringLiteral("Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
                       "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                       "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                       "eth0\t0000000A\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
                       "wg0\t00000000\t00000000\t0000\t0\t0\t1\t00000000\t0\t0\t0\n"));
    EXPECT_EQ(route.gateway, std::optional<QString>(QStringLiteral("10.0.0.1")));
    EXPECT_EQ(route.interface, std::optional<QString>(QStringLiteral("eth0")));
    const auto single =
        Probe::parseProcRoute(QStringLiteral("Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n"
                                             "en0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\n"));
    EXPECT_EQ(single.gateway, std::optional<QString>(QStringLiteral("192.168.1.1")));
    EXPECT_EQ(Probe::parseProcRoute(QString()).interface, std::nullopt);
}

TEST(MacProbe, AddressTable) {
    const Table table = Probe::addressTable({entry("lo", "127.0.0.1", "255.0.0.0"), entry("eth0", "10.0.0.2"),
                                             entry("eth0", "10.0.0.3"), entry("wlan0", nullptr),
                                             entry("docker0", "172.17.0.1", nullptr),
                                             entry("eth1", "10.1.0.2", "255.0.0.0", false)});
    EXPECT_EQ(table, (Table{{QStringLiteral("eth0"),
                             {QStringLiteral("10.0.0.3"), QStringLiteral("255.255.255.0")}}}));
    EXPECT_TRUE(Probe::addressTable({entry("lo", "127.0.0.1"), entry("lo", "127.0.1.1")}).isEmpty());
}

TEST(MacProbe, InterfaceChoice) {
    const auto t = [](std::initializer_list<const char*> names) {
        Table table;
        for (const char* name : names)
            table.insert(QString::fromLatin1(name),
                         {QStringLiteral("10.0.0.2"), QStringLiteral("255.255.255.0")});
        return table;
    };
    const std::tuple<const char*, std::optional<QString>, Table, std::optional<QString>> cases[] = {
        {"route's own", QStringLiteral("wlan0"), t({"eth0", "wlan0"}), QStringLiteral("wlan0")},
        {"route through a tunnel", QStringLiteral("utun4"), t({"en0", "utun4"}), QStringLiteral("en0")},
        {"WireGuard", QStringLiteral("wg0"), t({"wg0", "eth0"}), QStringLiteral("eth0")},
        {"Tailscale", QStringLiteral("tailscale0"), t({"tailscale0", "wlp2s0"}), QStringLiteral("wlp2s0")},
        {"tun", QStringLiteral("tun0"), t({"tun0", "enp3s0"}), QStringLiteral("enp3s0")},
        {"no route, ascending", std::nullopt, t({"en1", "en0"}), QStringLiteral("en0")},
        {"route not in table", QStringLiteral("eth5"), t({"docker0", "eth0"}), QStringLiteral("eth0")},
        {"nothing usable", QStringLiteral("wg0"), t({"docker0", "virbr0"}), std::nullopt},
    };
    for (const auto& [name, route, table, expected] : cases)
        EXPECT_EQ(Probe::chooseInterface(route, table), expected) << name;
}

TEST(MacProbe, SecondHopOfTheTrace) {
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"traceroute to 1.1.1.1 (1.1.1.1), 2 hops max\n 1  192.168.1.1  0.5 ms\n 2  10.0.0.1  3.1 ms\n",
         true},
        {" 1  192.168.1.1  0.5 ms\n 2  172.31.255.254  3 ms\n", true},
        {" 1  192.168.1.1  0.5 ms\n 2  172.32.0.1  3 ms\n", false},
        {" 1  192.168.1.1  0.5 ms\n 2  192.168.0.1  3 ms\n", true},
        {" 1  192.168.1.1  0.5 ms\n 2  84.17.5.1  3 ms\n", false},
        {" 1  192.168.1.1  0.5 ms\n 2  *\n", std::nullopt},
        {" 1?: [LOCALHOST]  pmtu 1500\n 1:  192.168.1.1  0.4ms\n 2:  10.20.0.1  2.1ms\n", true},
        {"", std::nullopt},
    };
    for (const auto& [output, expected] : cases)
        EXPECT_EQ(Probe::doubleNATFrom(QString::fromLatin1(output)), expected) << output;
}

class MacProbeRun : public ::testing::Test {
protected:
    void SetUp() override {
        Probe::environment() = Probe::Environment{};
        Probe::environment().tools = &tools;
        Probe::environment().wifi = &wifi;
        Probe::environment().vpn = [] { return true; };
        Probe::environment().natDestination = QStringLiteral("192.0.2.1");
        Probe::environment().interfaces = [] {
            return std::optional<QList<Probe::InterfaceEntry>>({entry("lo", "127.0.0.1", "255.0.0.0"),
                                                                entry("wlan0", "192.168.1.20"),
                                                                entry("wg0", "10.9.0.2")});
        };
    }
    void TearDown() override { Probe::environment() = Probe::Environment{}; }

    FakeTools tools;
    FakeWifi wifi;
};

TEST_F(MacProbeRun, QuickProbeReadsRouteTableWifiAndVpn) {
    tools.outputs.insert(QStringLiteral("ip"), QByteArray("default via 192.168.1.1 dev wg0 metric 50\n"));
    wifi.networks.insert(QStringLiteral("wlan0"), QStringLiteral("Zuhause"));
    const MacNetwork mac = test::run(Probe::mac(false));
    EXPECT_EQ(mac.interface, std::optional<QString>(QStringLiteral("wlan0")));
    EXPECT_EQ(mac.address, std::optional<QString>(QStringLiteral("192.168.1.20")));
    EXPECT_EQ(mac.netmask, std::optional<QString>(QStringLiteral("255.255.255.0")));
    EXPECT_EQ(mac.gateway, std::optional<QString>(QStringLiteral("192.168.1.1")));
    EXPECT_TRUE(mac.wifi);
    EXPECT_EQ(mac.ssid, std::optional<QString>(QStringLiteral("Zuhause")));
    EXPECT_TRUE(mac.vpn);
    EXPECT_EQ(mac.doubleNAT, std::nullopt);
    ASSERT_EQ(tools.calls.size(), 1); // no trace in a quick probe
    EXPECT_EQ(tools.calls[0],
              (QStringList{QStringLiteral("ip"), QStringLiteral("-4"), QStringLiteral("route"),
                           QStringLiteral("show"), QStringLiteral("default")}));
}

TEST_F(MacProbeRun, DeepProbeTracesTowardTheInjectedAddress) {
    tools.outputs.insert(QStringLiteral("traceroute"),
                         QByteArray(" 1  192.168.1.1  1 ms\n 2  10.0.0.1  2 ms\n"));
    const MacNetwork mac = test::run(Probe::mac(true));
    EXPECT_EQ(mac.doubleNAT, std::optional<bool>(true));
    ASSERT_EQ(tools.calls.size(), 2);
    EXPECT_EQ(tools.calls[1],
              (QStringList{QStringLiteral("traceroute"), QStringLiteral("-n"), QStringLiteral("-m"),
                           QStringLiteral("2"), QStringLiteral("-q"), QStringLiteral("1"),
                           QStringLiteral("-w"), QStringLiteral("2"), QStringLiteral("192.0.2.1")}));
    // The route tool could not start: no gateway, the first wired or wireless name.
    EXPECT_EQ(mac.gateway, std::nullopt);
    EXPECT_EQ(mac.interface, std::optional<QString>(QStringLiteral("wlan0")));
    EXPECT_FALSE(mac.wifi);
}

TEST_F(MacProbeRun, OnlyLoopbackKeepsTheRouteName) {
    tools.outputs.insert(QStringLiteral("ip"), QByteArray("default dev ppp0\n"));
    Probe::environment().interfaces = [] {
        return std::optional<QList<Probe::InterfaceEntry>>({entry("lo", "127.0.0.1", "255.0.0.0")});
    };
    const MacNetwork mac = test::run(Probe::mac(false));
    EXPECT_EQ(mac.interface, std::optional<QString>(QStringLiteral("ppp0")));
    EXPECT_EQ(mac.address, std::nullopt);
    EXPECT_FALSE(mac.wifi);
}

// The real runner against scripts of our own: never a network tool.
class ToolGuard : public ::testing::Test {
protected:
    QString script(const char* body) {
        const QString path = dir.path() + QStringLiteral("/tool-%1.sh").arg(++count);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("#!/bin/sh\n") + body);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    std::optional<std::optional<QByteArray>> runAndWait(ProcessToolRunner& runner, const QString& program,
                                                        std::chrono::milliseconds guard) {
        std::optional<std::optional<QByteArray>> result;
        QObject context;
        runner.run(program, {}, guard, &context, [&](std::optional<QByteArray> output) { result = output; });
        test::waitUntil([&] { return result.has_value(); }, 20s);
        return result;
    }

    QTemporaryDir dir;
    int count = 0;
};

TEST_F(ToolGuard, DeliversTheOutputOfAToolThatEnds) {
    ProcessToolRunner runner;
    const auto result = runAndWait(runner, script("echo \"LC_ALL=$LC_ALL\"\necho oops >&2\n"), 5s);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, std::optional<QByteArray>("LC_ALL=C\n"));
}

TEST_F(ToolGuard, EndsAToolThatRunsTooLongAndKillsOneThatIgnoresTheRequest) {
    ProcessToolRunner runner(200ms);
    const auto polite = runAndWait(runner, script("echo started\nexec sleep 30\n"), 100ms);
    ASSERT_TRUE(polite);
    EXPECT_EQ(*polite, std::optional<QByteArray>("started\n"));

    QElapsedTimer timer;
    timer.start();
    const auto stubborn =
        runAndWait(runner, script("trap '' TERM\necho stubborn\nwhile true; do sleep 0.05; done\n"), 100ms);
    ASSERT_TRUE(stubborn) << "the caller must always resume";
    EXPECT_EQ(*stubborn, std::optional<QByteArray>("stubborn\n"));
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST_F(ToolGuard, ALaunchFailureIsNoOutput) {
    ProcessToolRunner runner;
    const auto result = runAndWait(runner, dir.path() + QStringLiteral("/missing-tool"), 5s);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, std::nullopt);
    EXPECT_TRUE(ToolRunner::find(QStringLiteral("surely-no-such-tool-here")).isEmpty());
}

} // namespace
