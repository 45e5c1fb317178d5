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

#ifndef TAMBER_VERSION
#define TAMBER_VERSION ""
#endif

// The program proper, which `tamber` loads once no other instance took its arguments.
extern "C" int tamberProgram(int argc, char** argv) {
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
    // Another start may have taken the name since the early hand-over found it free.
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
