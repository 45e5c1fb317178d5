#include "platform/WifiInfo.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFileInfo>

namespace {

const QString service = QStringLiteral("org.freedesktop.NetworkManager");
constexpr int callTimeoutMs = 1000;

QVariant property(const QString& path, const QString& interface, const QString& name) {
    QDBusInterface properties(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                              QDBusConnection::systemBus());
    if (!properties.isValid())
        return {};
    properties.setTimeout(callTimeoutMs);
    const QDBusReply<QDBusVariant> reply = properties.call(QStringLiteral("Get"), interface, name);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

} // namespace

bool SystemWifiInfo::isWireless(const QString& interface) {
    if (interface.isEmpty() || interface.contains(QLatin1Char('/')))
        return false;
    const QString base = QStringLiteral("/sys/class/net/") + interface;
    return QFileInfo::exists(base + QStringLiteral("/wireless")) ||
           QFileInfo::exists(base + QStringLiteral("/phy80211"));
}

std::optional<QString> SystemWifiInfo::ssid(const QString& interface) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusInterface manager(service, QStringLiteral("/org/freedesktop/NetworkManager"), service, bus);
    if (!manager.isValid())
        return std::nullopt;
    manager.setTimeout(callTimeoutMs);
    const QDBusReply<QDBusObjectPath> device = manager.call(QStringLiteral("GetDeviceByIpIface"), interface);
    if (!device.isValid())
        return std::nullopt;
    const QVariant point =
        property(device.value().path(), QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless"),
                 QStringLiteral("ActiveAccessPoint"));
    const QString pointPath = point.value<QDBusObjectPath>().path();
    if (pointPath.isEmpty() || pointPath == QLatin1String("/"))
        return std::nullopt;
    const QByteArray name = property(pointPath, QStringLiteral("org.freedesktop.NetworkManager.AccessPoint"),
                                     QStringLiteral("Ssid"))
                                .toByteArray();
    if (name.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(name);
}
