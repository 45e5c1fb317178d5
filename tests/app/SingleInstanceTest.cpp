// One running instance per session bus, against a private D-Bus daemon of the test's own.
#include "app/SingleInstance.h"
#include "platform/DBusHandOver.h"
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

    // A later start's early hand-over to this bus, made on a thread of its own for the same reason.
    DBusHandOver::Outcome earlyHandOver(const QStringList& arguments) const {
        std::atomic<int> result{-1};
        std::thread caller([&] {
            result = static_cast<int>(
                DBusHandOver::send(QString::fromLatin1(DBusInstanceChannel::serviceName), arguments,
                                   DBusHandOver::defaultTimeoutMs, address.toUtf8()));
        });
        test::waitUntil([&] { return result != -1; });
        caller.join();
        return static_cast<DBusHandOver::Outcome>(result.load());
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

// The early hand-over of a later start: plain libdbus on a connection of its own, no event loop.
TEST_F(PrivateBus, AnEarlyHandOverReachesTheFirstInstanceBeforeItsAnswer) {
    DBusInstanceChannel firstChannel(connect());
    SingleInstance first(firstChannel);
    ASSERT_TRUE(first.claim());
    QSignalSpy urls(&first, &SingleInstance::urlsReceived);
    QSignalSpy reopens(&first, &SingleInstance::reopenRequested);

    const QStringList sent{u"tamber://pause"_s, u"tamber://volume/30"_s, u"tamber://preset/Küche ☕"_s};
    EXPECT_EQ(earlyHandOver(sent), DBusHandOver::Outcome::taken);
    ASSERT_EQ(urls.count(), 1);
    EXPECT_EQ(urls.at(0).at(0).toStringList(), sent);

    EXPECT_EQ(earlyHandOver({}), DBusHandOver::Outcome::taken);
    EXPECT_EQ(reopens.count(), 1);
}

TEST_F(PrivateBus, AnEarlyHandOverTellsWhyItWasNotTaken) {
    // Nobody owns the name: the start goes on as the program.
    EXPECT_EQ(earlyHandOver({u"tamber://open"_s}), DBusHandOver::Outcome::noInstance);

    // Another program holds the name but serves no "Open".
    QDBusConnection stranger = connect();
    ASSERT_TRUE(stranger.registerService(QString::fromLatin1(DBusInstanceChannel::serviceName)));
    EXPECT_EQ(earlyHandOver({u"tamber://open"_s}), DBusHandOver::Outcome::refused);
    stranger.unregisterService(QString::fromLatin1(DBusInstanceChannel::serviceName));

    EXPECT_EQ(DBusHandOver::send(QString::fromLatin1(DBusInstanceChannel::serviceName), {}, 1000,
                                 "unix:path=/nonexistent/tamber-bus"),
              DBusHandOver::Outcome::noBus);
}

TEST_F(PrivateBus, AnEarlyHandOverToAHungInstanceGivesUpAfterItsTimeout) {
    DBusInstanceChannel firstChannel(connect());
    SingleInstance first(firstChannel);
    ASSERT_TRUE(first.claim());
    QSignalSpy urls(&first, &SingleInstance::urlsReceived);
    // The call is made on the main thread, whose event loop the first instance answers from:
    // the first instance is as good as hung while the call waits.
    EXPECT_EQ(DBusHandOver::send(QString::fromLatin1(DBusInstanceChannel::serviceName), {u"tamber://pause"_s},
                                 200, address.toUtf8()),
              DBusHandOver::Outcome::noAnswer);
    // The message was delivered all the same: once the instance runs again it acts on it,
    // which is why the later start only says it "may not" act.
    EXPECT_TRUE(test::waitUntil([&] { return urls.count() == 1; }));
}

TEST(NoBus, WithoutASessionBusTheProgramRunsAlone) {
    DBusInstanceChannel channel(QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"none"_s));
    EXPECT_TRUE(channel.claim());
    QDBusConnection::disconnectFromBus(u"none"_s);
}

} // namespace
