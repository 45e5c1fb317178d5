// The shell's small shared objects: keyboard focus, launch at login, the version text, and
// what a hand-over from a later start may carry.
#include "app/LoginItem.h"
#include "app/SingleInstance.h"
#include "app/TrayItem.h"
#include "app/Updates.h"
#include "platform/AutostartFile.h"
#include "platform/QuitSignals.h"
#include "support/Await.h"
#include "ui/kit/KeyboardFocus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

TEST(KeyboardFocus, StartsEmptyAndCollapsingTheSectionAlwaysClearsTheFooterRow) {
    KeyboardFocus focus;
    EXPECT_EQ(focus.index(), std::nullopt);
    EXPECT_FALSE(focus.onFooter());
    EXPECT_FALSE(focus.shortcutsOpen());
    EXPECT_EQ(focus.footerRow(), std::nullopt);
    EXPECT_EQ(focus.onboardingPage(), 0);
    EXPECT_FALSE(focus.hintsOpen());
    EXPECT_FALSE(focus.popoverOpen());

    QSignalSpy changed(&focus, &KeyboardFocus::changed);
    focus.setShortcutsOpen(true);
    focus.setFooterRow(3);
    focus.setShortcutsOpen(false);
    EXPECT_EQ(focus.footerRow(), std::nullopt);
    // Collapsing what is collapsed clears it too; opening leaves it.
    focus.setFooterRow(2);
    focus.setShortcutsOpen(false);
    EXPECT_EQ(focus.footerRow(), std::nullopt);
    focus.setShortcutsOpen(true);
    EXPECT_EQ(focus.footerRow(), std::nullopt);
    EXPECT_EQ(changed.count(), 6);
}

class LoginAtStart : public ::testing::Test {
protected:
    // Each test gets a fresh autostart folder under the private configuration folder.
    void SetUp() override {
        QDir(QFileInfo(AutostartFile::defaultPath()).absolutePath()).removeRecursively();
        QFile::remove(QFileInfo(AutostartFile::defaultPath()).absolutePath());
    }
    AutostartFile file{u"/opt/tam ber/bin/tamber"_s};
};

TEST_F(LoginAtStart, SwitchingOnWritesAnAutostartEntryAndOffRemovesIt) {
    LoginItem item(file);
    EXPECT_FALSE(item.enabled());
    item.set(true);
    EXPECT_TRUE(item.enabled());
    QFile entry(file.path());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_TRUE(text.startsWith(u"[Desktop Entry]\n"_s));
    EXPECT_TRUE(text.contains(u"\nExec=\"/opt/tam ber/bin/tamber\"\n"_s)) << text.toStdString();
    // A new item reads the state from the file.
    EXPECT_TRUE(LoginItem(file).enabled());
    item.set(false);
    EXPECT_FALSE(item.enabled());
    EXPECT_FALSE(QFile::exists(file.path()));
    // Switching off what is off is no failure on this desktop.
    EXPECT_EQ(file.setRegistered(false), std::nullopt);
}

TEST_F(LoginAtStart, EntriesSwitchedOffByTheDesktopReadAsOff) {
    const struct {
        const char* content;
        bool registered;
    } cases[] = {
        {"[Desktop Entry]\nType=Application\nExec=tamber\n", true},
        {"[Desktop Entry]\nHidden=true\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nHidden=false\nX-GNOME-Autostart-enabled=true\n", true},
        {"[Other]\nHidden=true\n[Desktop Entry]\nExec=tamber\n", true},
        {"not an entry at all\n", false},
        {"", false},
    };
    QDir().mkpath(QFileInfo(file.path()).absolutePath());
    for (const auto& c : cases) {
        QFile entry(file.path());
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly | QIODevice::Truncate));
        entry.write(c.content);
        entry.close();
        EXPECT_EQ(LoginItem(file).enabled(), c.registered) << c.content;
    }
}

TEST_F(LoginAtStart, ARefusedRegistrationIsLoggedAndReadsAsOff) {
    // A plain file where the autostart folder belongs: no folder can be made there.
    const QString folder = QFileInfo(file.path()).absolutePath();
    QDir().mkpath(QFileInfo(folder).absolutePath());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LoginItem item(file);
    QSignalSpy changed(&item, &LoginItem::enabledChanged);
    item.set(true);
    EXPECT_FALSE(item.enabled());
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0), false);
    QFile::remove(folder);
}

TEST(Updates, NoCheckIsPossibleAndAMissingVersionIsADash) {
    Updates updates;
    EXPECT_FALSE(updates.canCheck());
    EXPECT_EQ(Updates::versionText(QString()), u"\u2013"_s);
    EXPECT_EQ(Updates::versionText(u"0.1.0"_s), u"0.1.0"_s);
}

TEST(SingleInstanceArguments, DropsEmptyOverlongAndSurplusArguments) {
    QStringList many;
    for (int n = 0; n < SingleInstance::maxArguments + 5; ++n)
        many.append(u"tamber://volume/%1"_s.arg(n));
    const QStringList kept = SingleInstance::usable(many);
    ASSERT_EQ(kept.size(), SingleInstance::maxArguments);
    EXPECT_EQ(kept.first(), many.first());
    EXPECT_EQ(kept.last(), many.at(SingleInstance::maxArguments - 1));

    const QString huge = u"tamber://preset/"_s + QString(SingleInstance::maxArgumentLength, u'x');
    EXPECT_EQ(SingleInstance::usable({QString(), huge, u"tamber://open"_s}), QStringList{u"tamber://open"_s});
}

// SIGINT and SIGTERM reach the event loop as a request to quit, not as the end of the process.
TEST(QuitSignals, BothSignalsBecomeOneRequestEach) {
    QuitSignals quit;
    QSignalSpy requested(&quit, &QuitSignals::requested);
    std::raise(SIGTERM);
    std::raise(SIGINT);
    ASSERT_TRUE(test::waitUntil([&] { return requested.count() == 2; }));
    EXPECT_EQ(requested.at(0).at(0), SIGTERM);
    EXPECT_EQ(requested.at(1).at(0), SIGINT);
}

// Without the bundle's pictures the item still shows something in both states.
TEST(TrayItem, FallsBackToTheSpeakerSymbol) {
    for (const bool playing : {false, true}) {
        const QIcon icon = TrayItem::menuBarIcon(playing);
        ASSERT_FALSE(icon.isNull()) << playing;
        EXPECT_FALSE(icon.pixmap(22, 22).isNull()) << playing;
    }
}

} // namespace
