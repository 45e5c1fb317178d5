// The application delegate on the offscreen platform (no tray there): start-up order and
// first launch, opening and closing the panel, its placement timing, and URL hand-overs.
#include "app/AppDelegate.h"
#include "app/Panel.h"
#include "app/TrayItem.h"
#include "household/HouseholdKeys.h"
#include "platform/LoginRegistration.h"
#include "support/Await.h"
#include "support/HouseholdProbe.h"
#include "support/TestNet.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

struct NoLogin : LoginRegistration {
    bool registered() const override { return false; }
    std::optional<QString> setRegistered(bool) override { return u"not here"_s; }
};

class Delegate : public ::testing::Test {
protected:
    void SetUp() override { Clock::useManual(); }
    void TearDown() override {
        delegate.reset();
        Clock::advance(60s);
        Clock::useReal();
    }

    // A delegate over the stored state; `hosts` are speakers it knows from an earlier run
    // (nothing answers there).
    AppDelegate& make(bool onboarded, const QStringList& hosts = {}) {
        if (onboarded)
            settings->setBool(HouseholdKeys::onboarded, true);
        if (!hosts.isEmpty())
            settings->setTextList(HouseholdKeys::knownHosts, hosts);
        delegate = std::make_unique<AppDelegate>(*settings, login);
        delegate->start();
        // The health check would probe this machine's network with its tools, which may still
        // be running when a test ends; the delegate's own timing is what these tests look at.
        delegate->checkHealthIfStale = {};
        return *delegate;
    }
    bool panelShown() const { return delegate->panel()->isVisible(); }
    bool onboarded() { return settings->boolValue(HouseholdKeys::onboarded).value_or(false); }

    TempSettings settings;
    NoLogin login;
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(Delegate, FirstLaunchOpensThePanelByItselfAfterSixTenthsOfASecond) {
    AppDelegate& d = make(false);
    EXPECT_TRUE(d.hasHousehold());
    EXPECT_FALSE(d.household().networkStarted());
    Clock::advance(599ms);
    EXPECT_FALSE(d.isOpen());
    Clock::advance(1ms);
    EXPECT_TRUE(d.isOpen());
    EXPECT_TRUE(panelShown());
    EXPECT_FALSE(onboarded());
}

TEST_F(Delegate, OpeningWithinTheDelayLeavesTheDelayedShowWithoutEffect) {
    AppDelegate& d = make(false);
    d.toggleFromKeyboard();
    EXPECT_TRUE(d.isOpen());
    QSignalSpy presence(&d.presence(), &PanelPresence::shownChanged);
    Clock::advance(1s);
    EXPECT_TRUE(d.isOpen());
    EXPECT_EQ(presence.count(), 0);
}

TEST_F(Delegate, KnownSpeakersFinishOnboardingAndStartTheNetworkWithoutOpening) {
    AppDelegate& d = make(false, {test::loopback(200)});
    EXPECT_TRUE(onboarded());
    EXPECT_TRUE(d.household().networkStarted());
    Clock::advance(1s);
    EXPECT_FALSE(d.isOpen());
    // The first refresh finds nobody; it ends before the household goes.
    EXPECT_TRUE(test::waitUntil([&] { return HouseholdProbe{d.household()}.failedRefreshes() >= 1; }));
}

TEST_F(Delegate, TheTrayIconFollowsWhetherAnyGroupPlays) {
    AppDelegate& d = make(true);
    QSignalSpy shown(&d, &AppDelegate::playingShown);
    const auto group = [](const QString& id, const QString& state) {
        SpeakerGroup g{.id = id, .coordinatorID = id, .rooms = {Room{.id = id, .name = id, .host = {}}}};
        g.state = state;
        return g;
    };
    HouseholdProbe probe{d.household()};
    const struct {
        QList<SpeakerGroup> groups;
        bool playing;
    } steps[] = {
        {{group(u"A"_s, u"PAUSED_PLAYBACK"_s), group(u"B"_s, u"STOPPED"_s)}, false},
        {{group(u"A"_s, u"TRANSITIONING"_s)}, true},
        {{group(u"A"_s, u"PLAYING"_s), group(u"B"_s, u"STOPPED"_s)}, true},
        {{group(u"A"_s, u"playing"_s)}, false},
        {{}, false},
        {{group(u"B"_s, u"PLAYING"_s)}, true},
    };
    for (const auto& step : steps) {
        probe.setGroups(step.groups);
        EXPECT_EQ(d.tray()->playing(), step.playing);
    }
    // The icon is set only when the state changes: idle at start, then three changes.
    EXPECT_EQ(d.tray()->iconChanges(), 4);
    EXPECT_EQ(shown.count(), 3);
}

TEST_F(Delegate, OpeningResetsTheRoomAndFooterFocusOnly) {
    AppDelegate& d = make(true);
    KeyboardFocus& focus = d.focus();
    focus.setIndex(2);
    focus.setOnFooter(true);
    focus.setShortcutsOpen(true);
    focus.setFooterRow(3);
    focus.setHintsOpen(true);
    focus.setOnboardingPage(2);
    d.show();
    EXPECT_EQ(focus.index(), std::nullopt);
    EXPECT_FALSE(focus.onFooter());
    EXPECT_FALSE(focus.shortcutsOpen());
    EXPECT_EQ(focus.footerRow(), std::nullopt);
    EXPECT_TRUE(focus.hintsOpen());
    EXPECT_EQ(focus.onboardingPage(), 2);
    EXPECT_TRUE(d.household().visible());
    EXPECT_TRUE(d.presence().shown());
}

TEST_F(Delegate, AFadingPanelGoesAfterItsFadeUnlessReopened) {
    AppDelegate& d = make(true);
    QSignalSpy presence(&d.presence(), &PanelPresence::shownChanged);
    int closedBy = 0;
    d.endHotKeyRecording = [&] { ++closedBy; };
    d.show();
    d.toggle(); // the tray item closes with the fade
    EXPECT_FALSE(d.isOpen());
    EXPECT_FALSE(d.household().visible());
    EXPECT_EQ(closedBy, 1);
    ASSERT_EQ(presence.count(), 2);
    EXPECT_EQ(presence.at(1), (QVariantList{false, true}));
    Clock::advance(219ms);
    EXPECT_TRUE(panelShown());
    Clock::advance(1ms);
    EXPECT_FALSE(panelShown());

    d.show();
    d.hide(true);
    Clock::advance(100ms);
    d.show();
    Clock::advance(1s);
    EXPECT_TRUE(d.isOpen());
    EXPECT_TRUE(panelShown());

    d.hide(false);
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(presence.last(), (QVariantList{false, false}));
}

TEST_F(Delegate, AnOpenPanelShrinksLateAndGrowsAtOnce) {
    AppDelegate& d = make(true);
    d.show();
    Panel* panel = d.panel();
    d.fit({360, 600}); // a grow, beyond what the view itself asks for: at once
    ASSERT_EQ(panel->height(), 600);

    d.fit({360, 120});
    EXPECT_EQ(d.contentSize(), QSize(360, 120));
    Clock::advance(249ms);
    EXPECT_EQ(panel->height(), 600);
    Clock::advance(1ms);
    EXPECT_EQ(panel->height(), 120);

    // A grow within the wait is applied at once and drops the pending shrink.
    d.fit({360, 80});
    d.fit({360, 300});
    EXPECT_EQ(panel->height(), 300);
    Clock::advance(1s);
    EXPECT_EQ(panel->height(), 300);

    // A shrink by one point is not worth waiting for; nor is any size while closed.
    d.fit({360, 299});
    EXPECT_EQ(panel->height(), 299);
    d.hide(false);
    d.fit({360, 100});
    EXPECT_EQ(panel->height(), 100);
    // No height: the size is kept, the window stays.
    d.fit({360, 0});
    EXPECT_EQ(d.contentSize(), QSize(360, 0));
    EXPECT_EQ(panel->height(), 100);
}

TEST_F(Delegate, AClickElsewhereClosesUnlessOnboardingWaitsForSpeakersOrTheRouteMenuIsOpen) {
    AppDelegate& d = make(false);
    d.show();
    emit d.panel()->deactivated();
    EXPECT_TRUE(d.isOpen()); // onboarding with no speaker found yet

    settings->setBool(HouseholdKeys::onboarded, true);
    bool picker = true;
    d.pickerOpen = [&] { return picker; };
    emit d.panel()->deactivated();
    EXPECT_TRUE(d.isOpen());

    picker = false;
    emit d.panel()->deactivated();
    EXPECT_FALSE(d.isOpen());
    EXPECT_FALSE(d.presence().shown());
    // Closed already: nothing more happens.
    emit d.panel()->deactivated();
    EXPECT_FALSE(d.isOpen());
}

TEST_F(Delegate, ReopenOpensOnlyAClosedPanel) {
    AppDelegate& d = make(true);
    d.reopen();
    EXPECT_TRUE(d.isOpen());
    QSignalSpy presence(&d.presence(), &PanelPresence::shownChanged);
    d.reopen();
    EXPECT_EQ(presence.count(), 0);
}

TEST_F(Delegate, UrlsWaitForOnboarding) {
    AppDelegate& d = make(false);
    d.open({u"tamber://open"_s});
    EXPECT_FALSE(d.isOpen());
}

TEST_F(Delegate, OnlyExactTamberUrlsAreHandledEachInTurn) {
    AppDelegate& d = make(true);
    d.open({u"TAMBER://open"_s, u"tamber://OPEN"_s, u"file:///etc/passwd"_s});
    EXPECT_FALSE(d.isOpen());
    d.open({u"Tamber://health"_s, u"tamber://open"_s});
    EXPECT_TRUE(d.isOpen());

    int healthWindows = 0;
    d.openHealthWindow = [&] {
        EXPECT_FALSE(d.isOpen()); // the panel closed before the window opens
        ++healthWindows;
    };
    QSignalSpy presence(&d.presence(), &PanelPresence::shownChanged);
    d.open({u"tamber://health"_s, u"tamber://open"_s});
    EXPECT_EQ(healthWindows, 1);
    EXPECT_TRUE(d.isOpen());
    // The health window's close was without fade.
    ASSERT_GE(presence.count(), 1);
    EXPECT_EQ(presence.at(0), (QVariantList{false, false}));
    // "open" on an open panel changes nothing.
    d.open({u"tamber://open"_s});
    EXPECT_EQ(presence.count(), 2);
}

TEST_F(Delegate, AClickInThePanelOutsideTheTextBeingEditedEndsTheEditing) {
    AppDelegate& d = make(true);
    d.show();
    auto* editor = new QLineEdit(d.panel()->content());
    editor->setGeometry(10, 10, 100, 20);
    auto* other = new QWidget(d.panel()->content());
    other->setGeometry(10, 100, 100, 20);
    editor->show();
    other->show();
    QApplication::setActiveWindow(d.panel());
    editor->setFocus();
    ASSERT_TRUE(test::waitUntil([&] { return editor->hasFocus(); }));

    QTest::mouseClick(editor, Qt::LeftButton, {}, {5, 5});
    EXPECT_TRUE(editor->hasFocus());
    QTest::mouseClick(other, Qt::LeftButton, {}, {5, 5});
    EXPECT_FALSE(editor->hasFocus());
}

} // namespace
