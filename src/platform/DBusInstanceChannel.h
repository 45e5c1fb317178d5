#pragma once

#include "platform/InstanceChannel.h"

#include <QDBusConnection>

// The single instance on the D-Bus session bus: the owner holds the well-known name and
// serves the method "Open" (a list of texts) on the object "/"; a later start calls it.
class DBusInstanceChannel : public InstanceChannel {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "studio.quietforge.tamber")
public:
    static constexpr const char* serviceName = "studio.quietforge.tamber";

    explicit DBusInstanceChannel(QDBusConnection bus, QObject* parent = nullptr);
    ~DBusInstanceChannel() override;

    bool claim() override;
    bool handOver(const QStringList& arguments) override;

public slots:
    Q_SCRIPTABLE void Open(const QStringList& arguments);

private:
    QDBusConnection bus_;
    bool registered_ = false;
};
