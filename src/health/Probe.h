#pragma once

#include "health/HealthReport.h"
#include "health/HealthTopologyParser.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

class ToolRunner;
class WifiInfo;

// The health check's probes. Every probe gives an absent or partial result instead of failing.
namespace Probe {

// The topology answer: the address that gave it, its household id, and at least one device.
struct System {
    QString host;
    std::optional<QString> household;
    HealthTopologyParser topology;
};

// One speaker's device-description answer.
struct Answer {
    std::optional<QString> model;
    std::optional<QString> displayVersion;
    std::optional<QString> version;
    double latency = 0; // seconds, the median of the answered requests
};

// One entry of the system's interface address list, as far as the probe reads it.
struct InterfaceEntry {
    QString name;
    bool up = false;
    std::optional<QString> ipv4;    // numeric address text; nothing for another family
    std::optional<QString> netmask; // numeric text; nothing when the entry has none
};

// The default route as the route tool tells it.
struct Route {
    std::optional<QString> gateway;
    std::optional<QString> interface;
};

// Where the probes reach the outside world. Tests replace every part: no test runs a real
// tool that leaves the machine or asks an address outside loopback.
struct Environment {
    std::chrono::milliseconds speakerIdle{3000};  // longest wait for data of a description request
    std::chrono::milliseconds speakerTotal{4000}; // longest time for one description request
    std::chrono::milliseconds toolGuard{8000};    // a tool still running then is ended
    ToolRunner* tools = nullptr;                  // nothing: the real processes
    WifiInfo* wifi = nullptr;                     // nothing: /sys and NetworkManager
    // The interface address list; nothing when it cannot be read. Empty: getifaddrs.
    std::function<std::optional<QList<InterfaceEntry>>()> interfaces;
    // Whether a VPN tunnel is up. Empty: the protocol layer's test.
    std::function<bool()> vpn;
    // The public address that the double-NAT trace goes toward.
    QString natDestination = QStringLiteral("1.1.1.1");
};
Environment& environment();

// Asks every host at once for the topology and its household id; the first usable answer in
// order of completion wins and the requests still running are aborted. Nothing when no host
// answers usably, or for an empty list (then without any request).
QCoro::Task<std::optional<System>> system(QStringList hosts);

// Three device-description requests one after the other; nothing when the first gets no
// answer (or the host forms no URL: then nothing is sent).
QCoro::Task<std::optional<Answer>> speaker(QString host);

// The update that the speaker at host offers; nothing when none, or on any failure.
QCoro::Task<std::optional<HealthUpdate>> update(QString host);

// This computer's network facts; deep adds the double-NAT trace.
QCoro::Task<MacNetwork> mac(bool deep);

// The pieces of the computer's probe, each a pure function of the tool output or table.
// `ip -4 route show default`: of several default routes the one with the lowest metric.
Route parseRoute(const QString& output);
// The same from the kernel's table (/proc/net/route), for systems without the ip tool: the
// default route that is up with the lowest metric; the gateway as the host read the network-order bytes, in
// hex.
Route parseProcRoute(const QString& table);
// Address table: IPv4 entries that are up with a netmask, not 127.*; the last entry of a
// name wins.
QMap<QString, QPair<QString, QString>> addressTable(const QList<InterfaceEntry>& entries);
// The interface to report: the route's unless it is a tunnel or missing from the table,
// else the first name in ascending order beginning "en", "eth" or "wl"; nothing without.
std::optional<QString> chooseInterface(const std::optional<QString>& routeInterface,
                                       const QMap<QString, QPair<QString, QString>>& table);
bool isTunnel(const QString& name);
// The second hop of a traceroute or tracepath output: true for a private address, false for
// another address, nothing when no second hop answered.
std::optional<bool> doubleNATFrom(const QString& output);
// The system's interface list (getifaddrs); nothing when it cannot be read.
std::optional<QList<InterfaceEntry>> systemInterfaces();

} // namespace Probe
