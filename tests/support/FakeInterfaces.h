#pragma once

#include "household/Household.h"

#include <net/if.h>
#include <sys/socket.h>

// This machine's interface list as a test sets it, for the household's VPN hint: no tunnel
// until `vpn` is set, a tunnel that is up with an IPv4 address while it is. Read anew on
// every call, so a test may switch it at any time.
struct FakeInterfaces {
    bool vpn = false;
    bool readable = true;

    Household::InterfaceReader reader() {
        return [this]() -> std::optional<QList<Network::InterfaceAddress>> {
            if (!readable)
                return std::nullopt;
            if (!vpn)
                return QList<Network::InterfaceAddress>{
                    {QStringLiteral("lo"), IFF_UP | IFF_LOOPBACK, AF_INET}};
            return QList<Network::InterfaceAddress>{{QStringLiteral("tun0"), IFF_UP | IFF_RUNNING, AF_INET}};
        };
    }
};
