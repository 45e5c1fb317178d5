// The global hot key over a fake display: labels, loading what is stored, recording, and a
// combination the display refuses.
#include "app/HotKey.h"
#include "platform/SettingsStore.h"
#include "support/FakeKeyGrabber.h"
#include "support/HouseholdProbe.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

using test::FakeKeyGrabber;

namespace {

class HotKeyTest : public ::testing::Test {
protected:
    HotKey& make() {
        hotKey = std::make_unique<HotKey>(
            &grabber, *settings, [this] { ++presses; }, [this] { ++beeps; });
        return *hotKey;
    }

    FakeKeyGrabber grabber;
    TempSettings settings;
    std::unique_ptr<HotKey> hotKey;
    int presses = 0;
    int beeps = 0;
};

HotKey::Press press(quint32 code, quint32 mods, const char* characters) {
    return HotKey::Press{code, mods, QString::fromUtf8(characters)};
}

} // namespace

TEST_F(HotKeyTest, LabelsAndGrabModifiersFollowTheFixedOrder) {
    const struct {
        quint32 mods;
        const char* key;
        const char* label;
        quint16 grab;
    } cases[] = {
        {HotKey::control | HotKey::alt, "S", "Ctrl+Alt+S", 4 + 8},
        {HotKey::super, "Space", "Super+Space", 64},
        {HotKey::super | HotKey::shift | HotKey::alt | HotKey::control, "K", "Ctrl+Alt+Shift+Super+K", 77},
    };
    for (const auto& c : cases) {
        const HotKey::Shortcut shortcut{1, c.mods, QString::fromUtf8(c.key)};
        EXPECT_EQ(shortcut.label(), QString::fromUtf8(c.label));
        EXPECT_EQ(shortcut.grabModifiers(), c.grab) << c.label;
    }
}

TEST_F(HotKeyTest, StartsWithCtrlAltSGrabbedAndWritesNothing) {
    HotKey& key = make();
    EXPECT_EQ(key.shortcut(),
              (HotKey::Shortcut{FakeKeyGrabber::sCode, HotKey::control | HotKey::alt, QStringLiteral("S")}));
    EXPECT_TRUE(grabber.holds(FakeKeyGrabber::sCode, KeyGrabber::controlMask | KeyGrabber::altMask));
    EXPECT_TRUE(grabber.press(FakeKeyGrabber::sCode, KeyGrabber::controlMask | KeyGrabber::altMask));
    EXPECT_EQ(presses, 1);
    EXPECT_FALSE(settings->contains(QStringLiteral("hotkeyCode")));
    EXPECT_FALSE(settings->hasPendingChanges());
}

TEST_F(HotKeyTest, HoldingTheKeysDownTogglesOnce) {
    make();
    const auto& callback = grabber.grabs.first();
    const quint16 mods = KeyGrabber::controlMask | KeyGrabber::altMask;
    // Auto-repeat: presses without releases in between.
    callback(true, mods);
    callback(true, mods);
    callback(true, mods);
    callback(false, mods);
    EXPECT_EQ(presses, 1);
    callback(true, mods);
    EXPECT_EQ(presses, 2);
}

TEST_F(HotKeyTest, StoredCombinationsThatWouldTakeABareKeyLoadAsTheDefault) {
    const struct {
        double code;
        std::optional<double> mods;
        const char* key;
        bool loads;
    } cases[] = {
        {46, HotKey::control, "L", true},
        {46, std::nullopt, "L", false},  // no modifiers stored: a bare L everywhere
        {46, HotKey::shift, "L", false}, // Shift alone
        {-1, HotKey::control, "L", false},
        {300, HotKey::control, "L", false},
        {46.5, HotKey::control, "L", false},
        {46, -4, "L", false},
        {46, HotKey::control, "", false},
    };
    for (const auto& c : cases) {
        settings->setNumber(QStringLiteral("hotkeyCode"), c.code);
        if (c.mods)
            settings->setNumber(QStringLiteral("hotkeyMods"), *c.mods);
        else
            settings->remove(QStringLiteral("hotkeyMods"));
        settings->setText(QStringLiteral("hotkeyKey"), QString::fromUtf8(c.key));
        const HotKey& key = make();
        EXPECT_EQ(key.shortcut().key, c.loads ? QStringLiteral("L") : QStringLiteral("S")) << c.code;
        EXPECT_EQ(key.registered(), true);
        hotKey.reset();
    }
}

TEST_F(HotKeyTest, RecordingTakesACombinationWithCtrlAltOrSuperOnly) {
    HotKey& key = make();
    key.setRecording(true);
    // Refused silently: Shift alone, no modifier, no characters (a modifier key alone).
    EXPECT_FALSE(key.record(press(38, HotKey::shift, "a")));
    EXPECT_FALSE(key.record(press(38, 0, "a")));
    EXPECT_FALSE(key.record(press(37, HotKey::control, "")));
    EXPECT_TRUE(key.recording());
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(key.shortcut().key, QStringLiteral("S"));

    // Alt-p is stored as P; the old grab goes, the new one fires.
    EXPECT_TRUE(key.record(press(33, HotKey::alt, "p")));
    EXPECT_FALSE(key.recording());
    EXPECT_EQ(key.shortcut().label(), QStringLiteral("Alt+P"));
    EXPECT_FALSE(grabber.holds(FakeKeyGrabber::sCode, KeyGrabber::controlMask | KeyGrabber::altMask));
    EXPECT_TRUE(grabber.press(33, KeyGrabber::altMask));
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(settings->number(QStringLiteral("hotkeyCode")), 33);
    EXPECT_EQ(settings->number(QStringLiteral("hotkeyMods")), HotKey::alt);
    EXPECT_EQ(settings->text(QStringLiteral("hotkeyKey")), QStringLiteral("P"));

    // Super-Space reads "Space" and survives a restart.
    key.setRecording(true);
    EXPECT_TRUE(key.record(press(65, HotKey::super, " ")));
    hotKey.reset();
    settings.reopen();
    EXPECT_EQ(make().shortcut().label(), QStringLiteral("Super+Space"));
}

TEST_F(HotKeyTest, ACombinationTheDisplayRefusesBeepsAndKeepsTheOldOneWorking) {
    HotKey& key = make();
    grabber.taken.insert(46);
    key.setRecording(true);
    EXPECT_FALSE(key.record(press(46, HotKey::control | HotKey::alt, "l")));
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(key.recording());
    EXPECT_EQ(key.shortcut().key, QStringLiteral("S"));
    EXPECT_TRUE(key.registered());
    EXPECT_TRUE(grabber.press(FakeKeyGrabber::sCode, KeyGrabber::controlMask | KeyGrabber::altMask));
    EXPECT_EQ(presses, 1);
    EXPECT_FALSE(settings->contains(QStringLiteral("hotkeyCode")));
}

TEST_F(HotKeyTest, KeyEventsGiveTheirPositionModifiersAndCharacters) {
    const QKeyEvent ctrlAltS(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier | Qt::AltModifier, 39, 0, 0);
    const HotKey::Press a = HotKey::pressOf(ctrlAltS);
    EXPECT_EQ(a.keyCode, 39u);
    EXPECT_EQ(a.modifiers, HotKey::control | HotKey::alt);
    EXPECT_EQ(a.characters, QStringLiteral("s"));
    const QKeyEvent metaSpace(QEvent::KeyPress, Qt::Key_Space, Qt::MetaModifier, 65, 0, 0);
    EXPECT_EQ(HotKey::pressOf(metaSpace).characters, QStringLiteral(" "));
    EXPECT_EQ(HotKey::pressOf(metaSpace).modifiers, HotKey::super);
    const QKeyEvent ctrlAlone(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier, 37, 0, 0);
    EXPECT_TRUE(HotKey::pressOf(ctrlAlone).characters.isEmpty());
}

TEST(HotKeyWithoutDisplay, ShowsTheDefaultAndRegistersNothing) {
    TempSettings settings;
    HotKey key(
        nullptr, *settings, [] {}, [] {});
    EXPECT_EQ(key.shortcut().label(), QStringLiteral("Ctrl+Alt+S"));
    EXPECT_FALSE(key.registered());
}
