#pragma once

#include <QList>
#include <QString>

#include <optional>

// Facts about this machine's own network interfaces.
namespace Network {

// One entry of the system's interface address list.
struct InterfaceAddress {
    QString name;              // interface name, such as "wg0" or "eth0"
    unsigned flags = 0;        // IFF_* flags of the interface
    std::optional<int> family; // address family (AF_INET, AF_INET6, ...); absent without an address
};

// Whether a VPN tunnel is up with an IPv4 address: an interface named utun*, ipsec*, ppp*,
// tap*, tun* or wg* (WireGuard) that is up and has an IPv4 address. Worked out anew on each
// call from the system's interface list; false when that list cannot be read or is empty.
// Code that must be testable takes the list through an injected reader and uses vpnActiveIn.
bool vpnActive();

// The rule of vpnActive() over a given interface list.
bool vpnActiveIn(const QList<InterfaceAddress>& entries);

// The system's interface address list (getifaddrs), or nothing when it cannot be read.
std::optional<QList<InterfaceAddress>> systemInterfaces();

} // namespace Network
