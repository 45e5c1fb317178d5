#include "protocol/Network.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

namespace {

// Tunnel interface names. "wg" is WireGuard, the usual VPN on Linux; without it an active
// WireGuard tunnel would never be named as the likely cause of unreachable speakers.
constexpr const char* vpnPrefixes[] = {"utun", "ipsec", "ppp", "tap", "tun", "wg"};

bool isVpnName(const QString& name) {
    for (const char* prefix : vpnPrefixes) {
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

} // namespace

bool Network::vpnActiveIn(const QList<InterfaceAddress>& entries) {
    for (const InterfaceAddress& entry : entries) {
        if (isVpnName(entry.name) && entry.family && (entry.flags & IFF_UP) && *entry.family == AF_INET)
            return true;
    }
    return false;
}

std::optional<QList<Network::InterfaceAddress>> Network::systemInterfaces() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::nullopt;
    QList<InterfaceAddress> entries;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        InterfaceAddress address;
        address.name = QString::fromLocal8Bit(entry->ifa_name);
        address.flags = entry->ifa_flags;
        if (entry->ifa_addr)
            address.family = entry->ifa_addr->sa_family;
        entries.append(std::move(address));
    }
    freeifaddrs(list);
    return entries;
}

bool Network::vpnActive() {
    const std::optional<QList<InterfaceAddress>> entries = systemInterfaces();
    return entries && vpnActiveIn(*entries);
}
