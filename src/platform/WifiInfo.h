#pragma once

#include <QString>

#include <optional>

// Whether a network interface is Wi-Fi and which network it has joined.
class WifiInfo {
public:
    virtual ~WifiInfo() = default;
    virtual bool isWireless(const QString& interface) = 0;
    // The network name, or nothing when the system does not say or none is joined.
    virtual std::optional<QString> ssid(const QString& interface) = 0;
};

// Wi-Fi from /sys/class/net/<if>/wireless (or phy80211); the network name from NetworkManager
// on the system bus, nothing where NetworkManager is absent.
class SystemWifiInfo : public WifiInfo {
public:
    bool isWireless(const QString& interface) override;
    std::optional<QString> ssid(const QString& interface) override;
};
