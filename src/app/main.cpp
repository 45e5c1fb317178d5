#include "app/AppDelegate.h"
#include "app/SingleInstance.h"
#include "core/Log.h"
#include "health/CrashHandler.h"
#include "platform/AutostartFile.h"
#include "platform/DBusHandOver.h"
#include "platform/DBusInstanceChannel.h"
#include "platform/QuitSignals.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QDBusConnection>

#include <cstdio>
#include <optional>

#ifndef TAMBER_VERSION
#define TAMBER_VERSION ""
#endif

namespace {

// A later start hands its arguments to the running instance before it builds anything of its
// own: the X connection, the toolkit's plugins, fonts and themes make up most of a start, and
// a hand-over needs none of them. Returns this start's exit status when it ends here; nothing
// when it goes on as the program (nobody runs, or there is no session bus).
std::optional<int> handOverEarly(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
        // Options are the toolkit's (-platform, -display ...): it takes them out of the
        // arguments, so such a start takes the ordinary way.
        if (arguments.constLast().startsWith(u'-'))
            return std::nullopt;
    }
    // Only appends to the log: the running program owns the file and its rotation.
    Log::install(Log::FileUse::appendOnly);
    const QStringList usable = SingleInstance::usable(arguments);
    switch (DBusHandOver::send(QString::fromLatin1(DBusInstanceChannel::serviceName), usable)) {
    case DBusHandOver::Outcome::taken:
        return 0;
    case DBusHandOver::Outcome::noInstance:
    case DBusHandOver::Outcome::noBus:
        return std::nullopt;
    case DBusHandOver::Outcome::noAnswer:
        qCWarning(logApp).noquote() << "The running instance did not answer within"
                                    << DBusHandOver::defaultTimeoutMs / 1000 << "s; it may not act on:"
                                    << (usable.isEmpty() ? QStringLiteral("(reopen)") : usable.join(u' '));
        return 1;
    case DBusHandOver::Outcome::refused:
        qCWarning(logApp).noquote() << "Not handed over:"
                                    << (usable.isEmpty() ? QStringLiteral("(reopen)") : usable.join(u' '));
        return 1;
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // Render mode draws the panel into files and quits; it is not part of this build.
    if (qEnvironmentVariableIsSet("TAMBER_RENDER")) {
        std::fputs("tamber: render mode (TAMBER_RENDER) is not built into this program\n", stderr);
        return 2;
    }

    if (const std::optional<int> status = handOverEarly(argc, argv))
        return *status;

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
