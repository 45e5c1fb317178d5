#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "core/Log.h"
#include "health/CrashHandler.h"
#include "platform/AutostartFile.h"
#include "platform/DBusInstanceChannel.h"
#include "platform/QuitSignals.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QDBusConnection>

#include <cstdio>

#ifndef TAMBER_VERSION
#define TAMBER_VERSION ""
#endif

int main(int argc, char** argv) {
    // Render mode draws the panel into files and quits; it is not part of this build.
    if (qEnvironmentVariableIsSet("TAMBER_RENDER")) {
        std::fputs("tamber: render mode (TAMBER_RENDER) is not built into this program\n", stderr);
        return 2;
    }

    // Placing the panel under the tray icon needs global window positions, which Wayland
    // does not give: on a Wayland desktop with XWayland the program runs as an X11 client.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tamber"));
    QApplication::setApplicationVersion(QStringLiteral(TAMBER_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("studio.quietforge.tamber"));
    // The program lives in the tray: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    Log::install();
    CrashHandler::install();

    const QStringList arguments = QApplication::arguments().mid(1);
    DBusInstanceChannel channel(QDBusConnection::sessionBus());
    SingleInstance instance(channel);
    if (!instance.claim())
        return instance.handOver(arguments) ? 0 : 1;

    SettingsStore settings(SettingsStore::defaultPath());
    AutostartFile autostart(QApplication::applicationFilePath());
    AppDelegate delegate(settings, autostart);
    QObject::connect(&instance, &SingleInstance::urlsReceived, &delegate, &AppDelegate::open);
    QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate, &AppDelegate::reopen);

    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::requested, &app, &QCoreApplication::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::terminate);

    delegate.start();
    const QStringList urls = SingleInstance::usable(arguments);
    if (!urls.isEmpty())
        delegate.open(urls);
    return app.exec();
}
