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
// call from the current interface list; false when that list cannot be read or is empty.
bool vpnActive();

// The rule of vpnActive() over a given interface list.
bool vpnActiveIn(const QList<InterfaceAddress>& entries);

// Where vpnActive() reads its interface list: the system's by default. A source answers
// nothing when the list cannot be read. Tests put their own in place; nullptr restores the
// system's.
using InterfaceSource = std::optional<QList<InterfaceAddress>> (*)();
void setInterfaceSource(InterfaceSource source);

// The system's interface address list (getifaddrs), or nothing when it cannot be read.
std::optional<QList<InterfaceAddress>> systemInterfaces();

} // namespace Network
