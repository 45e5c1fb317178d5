#include "health/Probe.h"

#include "health/IPv4.h"
#include "platform/ToolRunner.h"
#include "platform/WifiInfo.h"
#include "protocol/Network.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QtEndian>

#include <coroutine>
#include <limits>

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>

namespace Probe {

namespace {

// Awaits one tool run: its output, or nothing when it could not be started.
struct ToolRun {
    ToolRunner& runner;
    QString program;
    QStringList arguments;
    std::chrono::milliseconds guard;
    std::optional<QByteArray> output;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) {
        runner.run(program, arguments, guard, nullptr, [this, handle](std::optional<QByteArray> result) {
            output = std::move(result);
            // Resumed from the event loop, not from inside the runner's callback.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [handle] { handle.resume(); }, Qt::QueuedConnection);
        });
    }
    std::optional<QByteArray> await_resume() { return std::move(output); }
};

ToolRunner& runner() {
    static ProcessToolRunner real;
    ToolRunner* chosen = environment().tools;
    return chosen ? *chosen : real;
}

WifiInfo& wifi() {
    static SystemWifiInfo real;
    WifiInfo* chosen = environment().wifi;
    return chosen ? *chosen : real;
}

// A tool's output as text; nothing when it was not started or did not write valid UTF-8.
QCoro::Task<std::optional<QString>> runTool(QString name, QStringList arguments) {
    const QString program = environment().tools ? name : ToolRunner::find(name);
    if (program.isEmpty())
        co_return std::nullopt;
    // A named awaitable: the runner writes into it after the suspension, and g++ 12 may end
    // a temporary in a co_await expression too early.
    ToolRun run{runner(), program, std::move(arguments), environment().toolGuard, std::nullopt};
    std::optional<QByteArray> output = co_await run;
    if (!output)
        co_return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(*output);
    if (decoder.hasError())
        co_return std::nullopt;
    co_return text;
}

QCoro::Task<std::optional<bool>> doubleNAT() {
    const QString destination = environment().natDestination;
    // traceroute where it is installed, else tracepath (hop lines "2:" instead of "2").
    const bool haveTraceroute =
        environment().tools || !ToolRunner::find(QStringLiteral("traceroute")).isEmpty();
    QString tool = QStringLiteral("traceroute");
    QStringList arguments = {QStringLiteral("-n"), QStringLiteral("-m"), QStringLiteral("2"),
                             QStringLiteral("-q"), QStringLiteral("1"),  QStringLiteral("-w"),
                             QStringLiteral("2"),  destination};
    if (!haveTraceroute) {
        tool = QStringLiteral("tracepath");
        arguments = {QStringLiteral("-n"), QStringLiteral("-m"), QStringLiteral("2"), destination};
    }
    const std::optional<QString> output = co_await runTool(tool, arguments);
    if (!output)
        co_return std::nullopt;
    co_return doubleNATFrom(*output);
}

} // namespace

Route parseRoute(const QString& output) {
    Route best;
    std::optional<long long> bestMetric;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.value(0) != QLatin1String("default"))
            continue;
        Route route;
        long long metric = 0;
        for (qsizetype i = 1; i + 1 < words.size(); ++i) {
            if (words[i] == QLatin1String("via"))
                route.gateway = words[i + 1];
            else if (words[i] == QLatin1String("dev"))
                route.interface = words[i + 1];
            else if (words[i] == QLatin1String("metric"))
                metric = words[i + 1].toLongLong();
        }
        if (!bestMetric || metric < *bestMetric) {
            best = route;
            bestMetric = metric;
        }
    }
    return best;
}

Route parseProcRoute(const QString& table) {
    Route best;
    std::optional<long long> bestMetric;
    const QStringList lines = table.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i) { // the first line names the columns
        const QStringList columns =
            lines[i].split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (columns.size() < 7 || columns[1] != QLatin1String("00000000"))
            continue;
        bool ok = false;
        const uint flags = columns[3].toUInt(&ok, 16);
        if (!ok || (flags & 0x1) == 0) // RTF_UP
            continue;
        const long long metric = columns[6].toLongLong();
        if (bestMetric && metric >= *bestMetric)
            continue;
        Route route;
        route.interface = columns[0];
        const uint gateway = columns[2].toUInt(&ok, 16);
        if (ok && gateway != 0 && (flags & 0x2))                   // RTF_GATEWAY
            route.gateway = IPv4::format(qFromBigEndian(gateway)); // network order as the host read it
        best = route;
        bestMetric = metric;
    }
    return best;
}

QMap<QString, QPair<QString, QString>> addressTable(const QList<InterfaceEntry>& entries) {
    QMap<QString, QPair<QString, QString>> table;
    for (const InterfaceEntry& entry : entries) {
        if (!entry.up || !entry.ipv4 || !entry.netmask)
            continue;
        if (entry.ipv4->startsWith(QLatin1String("127.")))
            continue;
        table.insert(entry.name, {*entry.ipv4, *entry.netmask});
    }
    return table;
}

bool isTunnel(const QString& name) {
    // The tunnels of other systems and Linux's own: WireGuard, Tailscale, IP-in-IP and GRE.
    static const char* const prefixes[] = {"utun", "ipsec", "ppp",       "tun", "tap", "gif",
                                           "stf",  "wg",    "tailscale", "vti", "gre", "sit"};
    for (const char* prefix : prefixes)
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

std::optional<QString> chooseInterface(const std::optional<QString>& routeInterface,
                                       const QMap<QString, QPair<QString, QString>>& table) {
    if (routeInterface && table.contains(*routeInterface) && !isTunnel(*routeInterface))
        return routeInterface;
    for (auto it = table.cbegin(); it != table.cend(); ++it) // QMap: ascending order
        if (it.key().startsWith(QLatin1String("en")) || it.key().startsWith(QLatin1String("eth")) ||
            it.key().startsWith(QLatin1String("wl")))
            return it.key();
    return std::nullopt;
}

std::optional<bool> doubleNATFrom(const QString& output) {
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList pieces = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (pieces.size() < 2 || (pieces[0] != QLatin1String("2") && pieces[0] != QLatin1String("2:")))
            continue;
        const auto hop = IPv4::parse(pieces[1]);
        if (!hop)
            continue;
        const bool isPrivate = (*hop & 0xFF000000u) == 0x0A000000u || (*hop & 0xFFF00000u) == 0xAC100000u ||
                               (*hop & 0xFFFF0000u) == 0xC0A80000u;
        return isPrivate;
    }
    return std::nullopt;
}

std::optional<QList<InterfaceEntry>> systemInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::nullopt;
    QList<InterfaceEntry> entries;
    const auto numeric = [](const sockaddr* address) -> std::optional<QString> {
        if (!address || address->sa_family != AF_INET)
            return std::nullopt;
        char buffer[NI_MAXHOST] = {};
        if (getnameinfo(address, sizeof(sockaddr_in), buffer, sizeof(buffer), nullptr, 0, NI_NUMERICHOST) !=
            0)
            return std::nullopt;
        return QString::fromLatin1(buffer);
    };
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        InterfaceEntry item;
        item.name = QString::fromLocal8Bit(entry->ifa_name);
        item.up = (entry->ifa_flags & IFF_UP) != 0;
        item.ipv4 = numeric(entry->ifa_addr);
        if (item.ipv4)
            item.netmask = numeric(entry->ifa_netmask);
        entries.append(item);
    }
    freeifaddrs(list);
    return entries;
}

QCoro::Task<MacNetwork> mac(bool deep) {
    MacNetwork result;
    Route route;
    const QString ip = QStringLiteral("ip");
    const QStringList routeArguments = {QStringLiteral("-4"), QStringLiteral("route"), QStringLiteral("show"),
                                        QStringLiteral("default")};
    if (const auto output = co_await runTool(ip, routeArguments)) {
        route = parseRoute(*output);
    } else if (!environment().tools) {
        QFile table(QStringLiteral("/proc/net/route"));
        if (table.open(QIODevice::ReadOnly))
            route = parseProcRoute(QString::fromLatin1(table.readAll()));
    }
    result.gateway = route.gateway;

    const auto& source = environment().interfaces;
    const auto entries = source ? source() : systemInterfaces();
    const auto table = addressTable(entries.value_or(QList<InterfaceEntry>{}));
    if (const auto chosen = chooseInterface(route.interface, table)) {
        result.interface = chosen;
        result.address = table.value(*chosen).first;
        result.netmask = table.value(*chosen).second;
        if (wifi().isWireless(*chosen)) {
            result.wifi = true;
            result.ssid = wifi().ssid(*chosen);
        }
    } else {
        result.interface = route.interface;
    }
    result.vpn = environment().vpn ? environment().vpn() : Network::vpnActive();
    if (deep)
        result.doubleNAT = co_await doubleNAT();
    co_return result;
}

} // namespace Probe
