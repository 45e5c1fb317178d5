#include "platform/WifiInfo.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFileInfo>

namespace {

const QString service = QStringLiteral("org.freedesktop.NetworkManager");
constexpr int callTimeoutMs = 1000;

// A plain call without introspection, with a short limit: NetworkManager may be absent.
QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& args) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    return QDBusConnection::systemBus().call(message, QDBus::Block, callTimeoutMs);
}

QVariant firstArgument(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first();
}

QVariant property(const QString& path, const QString& interface, const QString& name) {
    return firstArgument(call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                              {interface, name}))
        .value<QDBusVariant>()
        .variant();
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
    if (!QDBusConnection::systemBus().isConnected())
        return std::nullopt;
    const QString device = firstArgument(call(QStringLiteral("/org/freedesktop/NetworkManager"), service,
                                              QStringLiteral("GetDeviceByIpIface"), {interface}))
                               .value<QDBusObjectPath>()
                               .path();
    if (device.isEmpty())
        return std::nullopt;
    const QString point = property(device, QStringLiteral("org.freedesktop.NetworkManager.Device.Wireless"),
                                   QStringLiteral("ActiveAccessPoint"))
                              .value<QDBusObjectPath>()
                              .path();
    if (point.isEmpty() || point == QLatin1String("/"))
        return std::nullopt;
    const QByteArray name =
        property(point, QStringLiteral("org.freedesktop.NetworkManager.AccessPoint"), QStringLiteral("Ssid"))
            .toByteArray();
    if (name.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(name);
}
