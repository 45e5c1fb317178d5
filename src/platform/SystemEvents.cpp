#include "platform/SystemEvents.h"

#include "core/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

SystemEvents& SystemEvents::instance() {
    // Parented to the application object so it ends with it; made on first use.
    static SystemEvents* events = [] {
        auto* made = new SystemEvents;
        made->setParent(QCoreApplication::instance());
        return made;
    }();
    return *events;
}

void SystemEvents::watch() {
    if (tried_)
        return;
    tried_ = true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCWarning(logApp) << "No system bus: a wake from sleep will go unnoticed";
        return;
    }
    watching_ =
        bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                    SLOT(prepareForSleep(bool)));
    if (!watching_)
        qCWarning(logApp) << "Cannot watch logind's sleep signal:" << bus.lastError().message();
}

void SystemEvents::prepareForSleep(bool sleeping) {
    // The signal comes with true before the machine sleeps and with false once it is awake.
    if (!sleeping)
        emit didWake();
}
