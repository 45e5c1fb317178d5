// One running instance per session bus, against a private D-Bus daemon of the test's own.
#include "app/SingleInstance.h"
#include "platform/DBusInstanceChannel.h"
#include "support/Await.h"

#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        daemon.start(u"dbus-daemon"_s,
                     {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s, u"--print-address=1"_s});
        ASSERT_TRUE(daemon.waitForStarted());
        ASSERT_TRUE(test::waitUntil([&] { return daemon.canReadLine(); }));
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    void TearDown() override {
        for (const QString& name : names)
            QDBusConnection::disconnectFromBus(name);
        if (daemon.state() != QProcess::NotRunning) {
            daemon.terminate();
            daemon.waitForFinished();
        }
    }
    // A connection of its own, as another process would have.
    QDBusConnection connect() {
        const QString name = u"instance-%1"_s.arg(names.size());
        names.append(name);
        return QDBusConnection::connectToBus(address, name);
    }

    // The later start's blocking call, made on a thread of its own: both instances share this
    // process here, and the first one answers from the main thread's event loop.
    static bool handOver(SingleInstance& later, const QStringList& arguments) {
        std::atomic<int> result{-1};
        std::thread caller([&] { result = later.handOver(arguments) ? 1 : 0; });
        const bool answered = test::waitUntil([&] { return result != -1; });
        caller.join();
        return answered && result == 1;
    }

    QProcess daemon;
    QString address;
    QStringList names;
};

TEST_F(PrivateBus, ALaterStartHandsItsUrlsOrAReopenToTheFirst) {
    DBusInstanceChannel firstChannel(connect());
    SingleInstance first(firstChannel);
    ASSERT_TRUE(first.claim());
    QSignalSpy urls(&first, &SingleInstance::urlsReceived);
    QSignalSpy reopens(&first, &SingleInstance::reopenRequested);

    DBusInstanceChannel laterChannel(connect());
    SingleInstance later(laterChannel);
    EXPECT_FALSE(later.claim());

    QStringList hundred;
    for (int n = 0; n < 100; ++n)
        hundred.append(u"tamber://volume/%1"_s.arg(n));
    EXPECT_TRUE(handOver(later, hundred));
    // The first instance had taken them by the time the later start got its answer.
    ASSERT_EQ(urls.count(), 1);
    EXPECT_EQ(urls.at(0).at(0).toStringList(), hundred);

    EXPECT_TRUE(handOver(later, {}));
    EXPECT_EQ(reopens.count(), 1);
    EXPECT_EQ(urls.count(), 1);
}

TEST_F(PrivateBus, TheNameIsFreeAgainOnceTheFirstInstanceEnded) {
    {
        DBusInstanceChannel firstChannel(connect());
        ASSERT_TRUE(firstChannel.claim());
    }
    DBusInstanceChannel laterChannel(connect());
    EXPECT_TRUE(laterChannel.claim());
}

TEST_F(PrivateBus, AHandOverWithNobodyToTakeItFails) {
    DBusInstanceChannel lonely(connect());
    EXPECT_FALSE(lonely.handOver({u"tamber://open"_s}));
}

TEST(NoBus, WithoutASessionBusTheProgramRunsAlone) {
    DBusInstanceChannel channel(QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"none"_s));
    EXPECT_TRUE(channel.claim());
    QDBusConnection::disconnectFromBus(u"none"_s);
}

} // namespace
