// The rooms' controls that need no speakers: the EQ slider's mapping and input, the footer's
// keyboard targets and row actions, the searching tile's wait and the banners' callbacks.
#include "core/Texts.h"
#include "platform/Haptics.h"
#include "support/FakeFooterSettings.h"
#include "support/ManualTime.h"
#include "support/QtPrinters.h"
#include "ui/kit/HUDPreview.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/PanelPresence.h"
#include "ui/rooms/CrashBanner.h"
#include "ui/rooms/EQSlider.h"
#include "ui/rooms/ErrorBanner.h"
#include "ui/rooms/FooterRowFrame.h"
#include "ui/rooms/KeyboardFooter.h"
#include "ui/rooms/MiniSwitch.h"
#include "ui/rooms/RoomSoundView.h"
#include "ui/rooms/SearchingTile.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

TEST(EQSlider, MapsThePointerToAValue) {
    // Width 216 and height 16: track length 200, so x = 8 + 200 f.
    struct Case {
        double x;
        int value;
    };
    const Case cases[] = {
        {0, -10},  // left of the first position
        {8, -10},  // f = 0
        {108, 0},  // f = 0.5, the centre
        {113, 1},  // f = 0.525: halves round away from zero
        {103, -1}, // f = 0.475
        {208, 10}, // f = 1
        {400, 10}, // right of the last position
        {std::numeric_limits<double>::quiet_NaN(), -10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EQSlider::valueAt(c.x, 216, 16), c.value) << c.x;
    EXPECT_DOUBLE_EQ(EQSlider::position(0, 216, 16), 108);
    // Too narrow for a track: every value lies within one point.
    EXPECT_DOUBLE_EQ(EQSlider::position(-10, 10, 16), 8);
    EXPECT_DOUBLE_EQ(EQSlider::position(10, 10, 16), 9);
}

TEST(EQSlider, ReportsOnlyNewValuesResetsOnDoubleClickAndClampsSteps) {
    EQSlider slider(16);
    slider.resize(216, 16);
    QSignalSpy changed(&slider, &EQSlider::changed);
    slider.setValue(3);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(int(EQSlider::position(3, 216, 16)), 8));
    EXPECT_EQ(changed.count(), 0); // a click on the knob's own value
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(int(EQSlider::position(3, 216, 16)), 8));
    QTest::mouseDClick(&slider, Qt::LeftButton, {}, QPoint(int(EQSlider::position(3, 216, 16)), 8));
    EXPECT_EQ(changed.count(), 0); // the reset comes when the second click ends
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(int(EQSlider::position(3, 216, 16)), 8));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).toInt(), 0);

    changed.clear();
    slider.setValue(10);
    slider.increment();
    slider.setValue(-10);
    slider.decrement();
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed[0].at(0).toInt(), 10);
    EXPECT_EQ(changed[1].at(0).toInt(), -10);
}

// A drag ticks once each time it arrives at the centre; holding there or a double-click reset
// does not tick.
TEST(EQSlider, LandingOnTheCentreTicksOnce) {
    EQSlider slider(16);
    slider.resize(216, 16);
    QObject::connect(&slider, &EQSlider::changed, &slider, &EQSlider::setValue);
    const auto at = [](int value) { return QPoint(int(EQSlider::position(value, 216, 16)), 8); };
    slider.setValue(-3);
    const int before = Haptics::alignments();
    QTest::mousePress(&slider, Qt::LeftButton, {}, at(-3));
    for (const int value : {-1, 0, 0, 2, 0, -2, 0})
        QTest::mouseMove(&slider, at(value));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, at(0));
    EXPECT_EQ(Haptics::alignments() - before, 3);
    EXPECT_EQ(slider.value(), 0);

    slider.setValue(5);
    QTest::mouseDClick(&slider, Qt::LeftButton, {}, at(5));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, at(5));
    EXPECT_EQ(slider.value(), 0);
    EXPECT_EQ(Haptics::alignments() - before, 3);
}

TEST(EQSlider, AssistiveTechnologySeesTheNumberAndStepsIt) {
    EQSlider slider(16);
    QSignalSpy changed(&slider, &EQSlider::changed);
    slider.setValue(-4);
    QAccessibleInterface* element = QAccessible::queryAccessibleInterface(&slider);
    ASSERT_NE(element, nullptr);
    ASSERT_NE(element->valueInterface(), nullptr);
    EXPECT_EQ(element->text(QAccessible::Value), u"-4"_s);
    EXPECT_EQ(element->valueInterface()->currentValue().toInt(), -4);
    element->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).toInt(), -3);
}

TEST(RoomSoundView, ValueTexts) {
    EXPECT_EQ(RoomSoundView::valueText(3), u"+3"_s);
    EXPECT_EQ(RoomSoundView::valueText(0), u"0"_s);
    EXPECT_EQ(RoomSoundView::valueText(-4), u"-4"_s);
}

class Footer : public ::testing::Test {
protected:
    test::FooterEnvironment fixture;
    KeyboardFocus& focus = fixture.focus;
    test::FakeFooterSettings& settings = fixture.settings;
    RoomsEnvironment& env = fixture.env;
};

TEST_F(Footer, KeyedOnlyWhileOpenAndFocusedOnThatRow) {
    KeyboardFooter footer(env);
    struct Case {
        bool onFooter;
        bool open;
        std::optional<int> footerRow;
        std::optional<FooterRow> asked;
        bool keyed;
    };
    const Case cases[] = {
        {true, true, std::nullopt, std::nullopt, true}, // the close button
        {true, true, 2, std::nullopt, false},
        {true, true, 2, FooterRow::volumeKeys, true},
        {true, true, 2, FooterRow::login, false},
        {true, false, 2, FooterRow::volumeKeys, false}, // collapsed: nothing
        {false, true, 2, FooterRow::volumeKeys, false},
        {true, true, 7, FooterRow::health, false}, // out of range: no row
    };
    for (const Case& c : cases) {
        focus.setShortcutsOpen(c.open);
        focus.setOnFooter(c.onFooter);
        focus.setFooterRow(c.footerRow);
        EXPECT_EQ(footer.keyed(c.asked), c.keyed)
            << c.onFooter << c.open << c.footerRow.value_or(-1) << (c.asked ? int(*c.asked) : -1);
    }
    focus.setShortcutsOpen(true);
    focus.setOnFooter(true);
    focus.setFooterRow(3);
    EXPECT_TRUE(footer.rowFrame(FooterRow::login)->keyed());
    EXPECT_FALSE(footer.rowFrame(FooterRow::hotKey)->keyed());
}

TEST_F(Footer, RecordingKeepsItExpandedWithThePillsCorners) {
    KeyboardFooter footer(env);
    EXPECT_FALSE(footer.expanded());
    settings.setRecording(true);
    EXPECT_TRUE(footer.expanded());
    EXPECT_DOUBLE_EQ(footer.cornerRadius(), 99);
    focus.setShortcutsOpen(true);
    focus.setHintsOpen(true);
    EXPECT_DOUBLE_EQ(footer.cornerRadius(), 20);
    static_cast<QAbstractButton*>(footer.closeButton())->click();
    EXPECT_FALSE(focus.shortcutsOpen());
    EXPECT_FALSE(settings.recording());
    EXPECT_TRUE(focus.hintsOpen()); // the grid comes back with the next expansion
    focus.setOnFooter(true);
    EXPECT_DOUBLE_EQ(footer.backgroundFill(), 0.08);
}

TEST_F(Footer, RowClicksRunTheirActions) {
    KeyboardFooter footer(env);
    focus.setShortcutsOpen(true);
    footer.resize(300, 400);
    footer.show();
    const auto click = [&](FooterRow row) {
        FooterRowFrame* frame = footer.rowFrame(row);
        QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(10, frame->height() / 2));
    };
    click(FooterRow::hints);
    EXPECT_TRUE(focus.hintsOpen());
    EXPECT_TRUE(footer.hintsShown());
    click(FooterRow::hotKey);
    click(FooterRow::hotKey);
    click(FooterRow::volumeKeys);
    click(FooterRow::login);
    click(FooterRow::health);
    EXPECT_EQ(settings.calls, (QStringList{u"recording 1"_s, u"recording 0"_s, u"volumeKeys 0"_s,
                                           u"login 1"_s, u"health"_s}));
}

TEST_F(Footer, TheAccessibilityNoticeShowsOnlyForUngrantedVolumeKeys) {
    struct Case {
        bool available;
        bool volumeKeys;
        bool trusted;
        bool shown;
    };
    const Case cases[] = {
        {true, true, false, true},
        {true, true, true, false}, // X11 grabs need no grant
        {true, false, false, false},
        {false, true, false, false}, // no global keys at all
    };
    for (const Case& c : cases) {
        settings.available = c.available;
        settings.trusted = c.trusted;
        if (settings.volumeKeys() != c.volumeKeys)
            settings.setVolumeKeys(c.volumeKeys);
        KeyboardFooter footer(env);
        EXPECT_EQ(footer.accessibilityNoticeShown(), c.shown);
    }
}

TEST_F(Footer, TheNoticeAsksEachSecondAndStaysGoneOnceGranted) {
    test::ManualTime time;
    settings.trusted = false;
    KeyboardFooter footer(env);
    EXPECT_TRUE(footer.accessibilityNoticeShown());
    settings.trusted = true;
    Clock::advance(999ms);
    EXPECT_TRUE(footer.accessibilityNoticeShown());
    Clock::advance(1ms);
    EXPECT_FALSE(footer.accessibilityNoticeShown());
    settings.trusted = false;
    emit settings.changed();
    EXPECT_FALSE(footer.accessibilityNoticeShown());
    EXPECT_EQ(Clock::pendingCount(), 0); // no poll while the notice is gone
}

TEST_F(Footer, TheNoticesButtonAsksForTheKeysAtOnce) {
    test::ManualTime time;
    settings.trusted = false;
    KeyboardFooter footer(env);
    ASSERT_TRUE(footer.accessibilityNoticeShown());
    auto* allow = footer.findChild<QAbstractButton*>(u"allowKeys"_s);
    ASSERT_TRUE(allow);
    allow->click();
    EXPECT_TRUE(settings.calls.contains(u"askForKeys"_s));
}

TEST_F(Footer, WithoutGlobalKeysTheVolumeKeysSwitchIsGreyed) {
    settings.available = false;
    KeyboardFooter footer(env);
    auto* toggle = footer.findChild<MiniSwitch*>(u"volumeKeys"_s);
    ASSERT_TRUE(toggle);
    EXPECT_FALSE(toggle->isEnabled());
    settings.available = true;
    emit settings.changed();
    EXPECT_TRUE(toggle->isEnabled());
}

TEST_F(Footer, TheVolumePreviewWaitsForTheHoverDelay) {
    test::ManualTime time;
    KeyboardFooter footer(env);
    focus.setShortcutsOpen(true);
    QWidget* row = footer.rowFrame(FooterRow::volumeKeys);
    QEvent enter(QEvent::Enter);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(row, &enter);
    Clock::advance(300ms);
    QCoreApplication::sendEvent(row, &leave);
    QCoreApplication::sendEvent(row, &enter); // a new visit starts a fresh wait
    Clock::advance(300ms);
    EXPECT_FALSE(footer.volumePreview());
    Clock::advance(50ms);
    EXPECT_TRUE(footer.volumePreview());
    const auto* preview = footer.findChild<HUDPreview*>();
    ASSERT_NE(preview, nullptr);
    time.advance(300ms); // it fades in
    EXPECT_TRUE(preview->isVisibleTo(&footer));
    QCoreApplication::sendEvent(row, &leave);
    EXPECT_FALSE(footer.volumePreview());
    time.advance(220ms); // and out
    EXPECT_FALSE(preview->isVisibleTo(&footer));
}

TEST(SearchingTile, HintsAfterTenShownSecondsAndStartsOverWhenHidden) {
    test::ManualTime time;
    PanelPresence presence;
    RoomsEnvironment env;
    env.presence = &presence;
    SearchingTile tile(env);
    Clock::advance(20s); // built while the panel is hidden: keeps searching
    EXPECT_FALSE(tile.searchedLong());

    presence.setShown(true);
    Clock::advance(5s);
    presence.setShown(false);
    EXPECT_FALSE(tile.searchedLong());
    presence.setShown(true);
    Clock::advance(9999ms);
    EXPECT_FALSE(tile.searchedLong());
    EXPECT_EQ(tile.text(), L(u"Tamber sucht in deinem WLAN."_s));
    Clock::advance(1ms);
    EXPECT_TRUE(tile.searchedLong());
    EXPECT_EQ(tile.text(), L(u"Nichts gefunden. Ist lokales Netzwerk erlaubt?"_s));
    presence.setShown(false);
    EXPECT_FALSE(tile.searchedLong());
}

TEST(Banners, CallTheirCallbacks) {
    int dismissed = 0;
    int sent = 0;
    ErrorBanner error(u"Die Box antwortet nicht."_s, [&] { ++dismissed; });
    error.findChild<QAbstractButton*>(u"dismiss"_s)->click();
    CrashBanner crash([&] { ++sent; }, [&] { dismissed += 10; });
    crash.findChild<QAbstractButton*>(u"send"_s)->click();
    crash.findChild<QAbstractButton*>(u"dismiss"_s)->click();
    EXPECT_EQ(dismissed, 11);
    EXPECT_EQ(sent, 1);
}

} // namespace
