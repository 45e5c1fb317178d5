// The main of every test executable: private XDG folders for this run, the offscreen Qt
// platform, a QApplication, then GoogleTest.
#include "core/Log.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        const QByteArray path = (home.path() + QLatin1Char('/') + QString::fromLatin1(name)).toLocal8Bit();
        ::setenv(name, path.constData(), 1);
    }
    ::setenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit().constData(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No test may reach the machine's own buses (mDNS on real interfaces, logind): point both at
    // nothing. Tests that need a bus start a private one and set these themselves.
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tamber-test-system-bus", 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tamber-test-session-bus", 1);
    ::setenv("LANG", "en_US.UTF-8", 0);

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tamber-test"));
    Log::install();
    return RUN_ALL_TESTS();
}
