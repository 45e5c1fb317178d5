// The main of every test executable: private XDG folders for this run, the offscreen Qt
// platform, a QApplication, then GoogleTest.
#include "core/Log.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Runs what a test left queued (replies and helper objects released with deleteLater(), queued
// calls, sockets closing) until the event loop has been idle for several rounds in a row, so
// that each test ends with nothing pending and nothing of it is left for the next test or
// reported as a leak at exit. The bound only keeps a test that keeps posting from hanging here.
void drainEvents() {
    const QDeadlineTimer limit(std::chrono::seconds(5));
    int quietRounds = 0;
    while (quietRounds < 5 && !limit.hasExpired()) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const bool busy = QAbstractEventDispatcher::instance()->processEvents(QEventLoop::AllEvents);
        quietRounds = busy ? 0 : quietRounds + 1;
    }
}

class DrainAfterEachTest : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { drainEvents(); }
};

} // namespace

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
    ::testing::UnitTest::GetInstance()->listeners().Append(new DrainAfterEachTest);
    const int result = RUN_ALL_TESTS();
    drainEvents();
    return result;
}
