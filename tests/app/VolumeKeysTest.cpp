// The volume keys end to end inside the program, over a fake display: a grabbed key press
// through the media-key service to the active group's volume, what reaches the speaker and
// what the volume display shows; the keys the program leaves to the desktop; and the panel's
// keys reaching the household and the hot key.
#include "app/AppDelegate.h"
#include "app/AppFooterSettings.h"
#include "app/HotKey.h"
#include "app/VolumeHUD.h"
#include "household/HouseholdKeys.h"
#include "platform/LoginRegistration.h"
#include "support/FakeKeyGrabber.h"
#include "support/HouseholdProbe.h"
#include "ui/kit/HUDView.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using test::FakeKeyGrabber;

namespace {

struct NoLogin : LoginRegistration {
    bool registered() const override { return false; }
    std::optional<QString> setRegistered(bool) override { return u"not here"_s; }
};

struct Sent {
    QString host;
    QString action;
    SOAP::Arguments args;
};

class VolumeKeys : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useManual();
        settings->setBool(HouseholdKeys::onboarded, true);
        Household::SpeakerAccess access;
        access.call = [this](QString host, Service, QString action,
                             SOAP::Arguments args) -> QCoro::Task<Fields> {
            sent.push_back({host, action, args});
            co_return Fields{};
        };
        delegate = std::make_unique<AppDelegate>(*settings, login, access);
        delegate->useKeyGrabber(&grabber);
        delegate->start();
        delegate->hud()->announce = [](const QString&) {};
    }
    void TearDown() override {
        delegate.reset();
        Clock::advance(60s);
        Clock::useReal();
    }

    // The active group: two rooms at the given volume, in the given state.
    void group(const QString& state, int volume, bool muted = false) {
        SpeakerGroup g{.id = u"G"_s,
                       .coordinatorID = u"A"_s,
                       .rooms = {Room{.id = u"A"_s, .name = u"Küche"_s, .host = u"10.0.0.1"_s},
                                 Room{.id = u"B"_s, .name = u"Bad"_s, .host = u"10.0.0.2"_s}}};
        g.state = state;
        g.volume = volume;
        g.muted = muted;
        HouseholdProbe{delegate->household()}.setGroups({g});
    }
    int volume() { return delegate->household().activeGroup()->volume; }
    QStringList actions() const {
        QStringList out;
        for (const Sent& s : sent)
            out << s.action;
        return out;
    }

    TempSettings settings;
    NoLogin login;
    FakeKeyGrabber grabber;
    std::unique_ptr<AppDelegate> delegate;
    std::vector<Sent> sent;
};

} // namespace

TEST_F(VolumeKeys, AreGrabbedOnlyWhileTheActiveGroupPlaysAndTheSwitchIsOn) {
    EXPECT_FALSE(grabber.holdsMediaKeys());
    group(u"PLAYING"_s, 40);
    EXPECT_TRUE(grabber.holdsMediaKeys());
    group(u"PAUSED_PLAYBACK"_s, 40);
    EXPECT_FALSE(grabber.holdsMediaKeys());
    group(u"TRANSITIONING"_s, 40);
    EXPECT_TRUE(grabber.holdsMediaKeys());
    delegate->footerSettings().setVolumeKeys(false);
    EXPECT_FALSE(grabber.holdsMediaKeys());
    EXPECT_EQ(settings->boolValue(u"volumeKeys"_s), false);
    delegate->footerSettings().setVolumeKeys(true);
    EXPECT_TRUE(grabber.holdsMediaKeys());
    EXPECT_TRUE(delegate->footerSettings().globalKeysAvailable());
    EXPECT_TRUE(delegate->footerSettings().keysTrusted());
}

TEST(GlobalKeysUnavailable, TheFooterShowsADashForTheHotKey) {
    Clock::useManual();
    {
        TempSettings settings;
        NoLogin login;
        AppDelegate delegate(*settings, login); // offscreen: no X11 display
        delegate.start();
        EXPECT_FALSE(delegate.footerSettings().globalKeysAvailable());
        EXPECT_EQ(delegate.footerSettings().hotKeyLabel(), u"–"_s);
        EXPECT_FALSE(delegate.mediaKeys()->trusted());
        EXPECT_EQ(delegate.hotKey()->shortcut().label(), u"Ctrl+Alt+S"_s);
    }
    Clock::advance(60s);
    Clock::useReal();
}

TEST_F(VolumeKeys, APressChangesTheGroupSendsItAndShowsTheDisplay) {
    group(u"PLAYING"_s, 40);
    ASSERT_TRUE(grabber.press(FakeKeyGrabber::raiseCode));
    EXPECT_EQ(volume(), 44);
    EXPECT_TRUE(delegate->hud()->isVisible());
    EXPECT_EQ(delegate->hud()->view().volume(), 44);
    Clock::advance(1s);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().action, u"SetGroupVolume"_s);
    EXPECT_EQ(sent.back().host, u"10.0.0.1"_s);
}

TEST_F(VolumeKeys, StepsClampAndTheFineStep) {
    const struct {
        int from;
        MediaKeys::Key key;
        bool fine;
        int to;
    } cases[] = {
        {98, MediaKeys::Key::up, false, 100}, {100, MediaKeys::Key::up, false, 100},
        {2, MediaKeys::Key::down, false, 0},  {50, MediaKeys::Key::up, true, 51},
        {50, MediaKeys::Key::down, true, 49},
    };
    for (const auto& c : cases) {
        group(u"PLAYING"_s, c.from);
        EXPECT_TRUE(delegate->volumeKey(c.key, c.fine));
        EXPECT_EQ(volume(), c.to) << c.from;
        EXPECT_EQ(delegate->hud()->view().volume(), c.to) << c.from;
        Clock::advance(2s);
    }
    // 100 + 4 is sent as 100 again.
    EXPECT_EQ(actions().count(u"SetGroupVolume"_s), 5);
}

TEST_F(VolumeKeys, AMutedGroupIsUnmutedByAVolumeKeyAndTheMuteKeyToggles) {
    group(u"PLAYING"_s, 30, true);
    EXPECT_TRUE(delegate->volumeKey(MediaKeys::Key::up, false));
    EXPECT_FALSE(delegate->household().activeGroup()->muted);
    EXPECT_EQ(volume(), 34);
    EXPECT_FALSE(delegate->hud()->view().muted());
    EXPECT_TRUE(delegate->volumeKey(MediaKeys::Key::mute, false));
    EXPECT_TRUE(delegate->household().activeGroup()->muted);
    EXPECT_TRUE(delegate->hud()->view().muted());
    Clock::advance(1s);
    EXPECT_EQ(actions().count(u"SetGroupMute"_s), 2);
}

TEST_F(VolumeKeys, AreLeftToTheDesktopWhenOffWithoutAGroupOrWhenNothingPlays) {
    EXPECT_FALSE(delegate->volumeKey(MediaKeys::Key::up, false));
    for (const char* state : {"PAUSED_PLAYBACK", "STOPPED"}) {
        group(QString::fromLatin1(state), 40);
        EXPECT_FALSE(delegate->volumeKey(MediaKeys::Key::mute, false)) << state;
        EXPECT_FALSE(delegate->volumeKey(MediaKeys::Key::up, false)) << state;
    }
    group(u"PLAYING"_s, 40);
    settings->setBool(u"volumeKeys"_s, false);
    EXPECT_FALSE(delegate->volumeKey(MediaKeys::Key::up, false));
    Clock::advance(1s);
    EXPECT_EQ(volume(), 40);
    EXPECT_FALSE(actions().contains(u"SetGroupVolume"_s)) << actions().join(u' ').toStdString();
    EXPECT_FALSE(actions().contains(u"SetGroupMute"_s));
    EXPECT_FALSE(delegate->hud()->isVisible());
}

TEST_F(VolumeKeys, ThePanelsKeysReachTheGroupAndTheHotKeyRecording) {
    group(u"PLAYING"_s, 40);
    delegate->show();
    const QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    EXPECT_TRUE(delegate->keyPressed(right));
    EXPECT_EQ(volume(), 44);

    // Footer row 1 starts a recording; the next key becomes the hot key, and the footer says so.
    delegate->focus().setOnFooter(true);
    delegate->focus().setShortcutsOpen(true);
    delegate->focus().setFooterRow(1);
    EXPECT_TRUE(delegate->keyPressed(QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier)));
    EXPECT_TRUE(delegate->footerSettings().recording());
    EXPECT_TRUE(delegate->keyPressed(QKeyEvent(QEvent::KeyPress, Qt::Key_L, Qt::ControlModifier, 46, 0, 0)));
    EXPECT_FALSE(delegate->footerSettings().recording());
    EXPECT_EQ(delegate->footerSettings().hotKeyLabel(), u"Ctrl+L"_s);
    EXPECT_TRUE(grabber.holds(46, KeyGrabber::controlMask));

    // The hot key closes the open panel at once.
    ASSERT_TRUE(grabber.press(46, KeyGrabber::controlMask));
    EXPECT_FALSE(delegate->isOpen());
    // Closing ends a recording in progress.
    delegate->show();
    delegate->hotKey()->setRecording(true);
    delegate->hide(false);
    EXPECT_FALSE(delegate->hotKey()->recording());
}
