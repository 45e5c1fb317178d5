#include "protocol/Network.h"

#include <net/if.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

using Network::InterfaceAddress;

namespace {

constexpr unsigned up = IFF_UP | IFF_RUNNING;
constexpr unsigned pointToPoint = IFF_UP | IFF_RUNNING | IFF_POINTOPOINT;

} // namespace

TEST(Network, VpnRuleOverInterfaceLists) {
    struct Case {
        const char* what;
        QList<InterfaceAddress> entries;
        bool active;
    };
    const Case cases[] = {
        {"empty list", {}, false},
        {"utun with only IPv6", {{"utun0", up, AF_INET6}, {"utun0", up, AF_PACKET}}, false},
        {"ppp0 up with IPv4", {{"ppp0", pointToPoint, AF_INET}}, true},
        {"ppp0 down with IPv4", {{"ppp0", IFF_POINTOPOINT, AF_INET}}, false},
        {"eth0 and en0 never count",
         {{"eth0", up, AF_INET}, {"en0", up, AF_INET}, {"wlan0", up, AF_INET}},
         false},
        {"tun0", {{"lo", up, AF_INET}, {"tun0", pointToPoint, AF_INET}}, true},
        {"tap1", {{"tap1", up, AF_INET}}, true},
        {"ipsec0", {{"ipsec0", up, AF_INET}}, true},
        {"utun3", {{"utun3", up, AF_INET}}, true},
        {"WireGuard wg0", {{"wg0", pointToPoint, AF_INET}}, true},
        {"WireGuard named by the user", {{"wg-office", pointToPoint, AF_INET}}, true},
        {"no address", {{"tun0", up, std::nullopt}}, false},
        {"prefix must start the name", {{"mytun0", up, AF_INET}, {"vwg0", up, AF_INET}}, false},
        {"case-sensitive", {{"TUN0", up, AF_INET}}, false},
        {"a later entry counts",
         {{"tun0", up, AF_INET6}, {"eth0", up, AF_INET}, {"tun0", up, AF_INET}},
         true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Network::vpnActiveIn(c.entries), c.active) << c.what;
}

TEST(Network, SystemListHasTheLoopbackInterface) {
    const std::optional<QList<InterfaceAddress>> entries = Network::systemInterfaces();
    ASSERT_TRUE(entries.has_value());
    const bool loopbackSeen =
        std::any_of(entries->begin(), entries->end(), [](const InterfaceAddress& entry) {
            return entry.name == "lo" && entry.family == AF_INET && (entry.flags & IFF_UP);
        });
    EXPECT_TRUE(loopbackSeen);
    // Whatever this machine has, the answer follows the same rule.
    EXPECT_EQ(Network::vpnActive(), Network::vpnActiveIn(*entries));
}
