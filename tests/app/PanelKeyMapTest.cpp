// The panel's key map as one table: a key, the state it meets, and what it does (taken or
// passed on, the operation started, the focus after it); plus the translation of key events
// to physical keys.
#include "app/PanelKeyMap.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

#include <functional>

using Key = PanelKeyMap::Key;
using Action = PanelKeyMap::Action;
using Focus = PanelKeyMap::Focus;
using State = PanelKeyMap::State;
using Press = PanelKeyMap::Press;

namespace {

// An onboarded household with a group of three rooms out of five, volume 50.
State base() {
    State s;
    s.onboarded = true;
    s.hasGroup = true;
    s.roomCount = 5;
    s.groupVolume = 50;
    s.presetCount = 2;
    return s;
}

Press key(Key k, bool command = false, bool shift = false, const char* character = "") {
    return Press{k, command, shift, QString::fromLatin1(character)};
}

struct Case {
    const char* name;
    std::function<void(State&)> given;
    Press press;
    bool consumed;
    Action action;
    int value;
    std::function<void(Focus&)> focusAfter; // from the focus given
};

const auto none = [](auto&) {};

const Case cases[] = {
    // Recording takes every key; Escape ends it.
    {"recording: escape stops", [](State& s) { s.recording = true; s.editing = true; }, key(Key::escape), true,
     Action::stopRecording, 0, none},
    {"recording: a key is recorded", [](State& s) { s.recording = true; }, key(Key::k, true, false, "k"), true,
     Action::record, 0, none},
    // A name being edited gets everything, Ctrl-Q and Escape included.
    {"editing: escape passes", [](State& s) { s.editing = true; }, key(Key::escape), false, Action::none, 0, none},
    {"editing: ctrl-q passes", [](State& s) { s.editing = true; }, key(Key::other, true, false, "q"), false,
     Action::none, 0, none},
    {"editing: arrows pass", [](State& s) { s.editing = true; }, key(Key::left), false, Action::none, 0, none},
    // Ctrl shortcuts follow the layout's characters.
    {"ctrl-q quits", none, key(Key::other, true, false, "q"), true, Action::quit, 0, none},
    {"ctrl-comma opens the settings", none, key(Key::other, true, false, ","), true, Action::none, 0,
     [](Focus& f) { f.shortcutsOpen = true; f.onFooter = true; }},
    {"ctrl-right skips forward", none, key(Key::right, true), true, Action::skip, 1, none},
    {"ctrl-left skips back", none, key(Key::left, true), true, Action::skip, 0, none},
    {"ctrl-right before onboarding passes", [](State& s) { s.onboarded = false; }, key(Key::right, true), false,
     Action::none, 0, none},
    {"ctrl-right without a group passes", [](State& s) { s.hasGroup = false; }, key(Key::right, true), false,
     Action::none, 0, none},
    {"another ctrl key passes", none, key(Key::a, true, false, "a"), false, Action::none, 0, none},
    // Escape collapses the section first, then closes without the fade.
    {"escape collapses the section",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 3; }, key(Key::escape),
     true, Action::none, 0, [](Focus& f) { f.shortcutsOpen = false; f.footerRow.reset(); }},
    {"escape closes", none, key(Key::escape), true, Action::hideNow, 0, none},
    // Onboarding: the arrows walk the pages, the last one finishes; every key is taken.
    {"onboarding: left on page 0 stays", [](State& s) { s.onboarded = false; }, key(Key::left), true, Action::none, 0,
     none},
    {"onboarding: return goes on", [](State& s) { s.onboarded = false; s.focus.onboardingPage = 1; },
     key(Key::returnKey), true, Action::none, 0, [](Focus& f) { f.onboardingPage = 2; }},
    {"onboarding: right on page 3 finishes", [](State& s) { s.onboarded = false; s.focus.onboardingPage = 3; },
     key(Key::right), true, Action::finishOnboarding, 0, none},
    {"onboarding: other keys are taken", [](State& s) { s.onboarded = false; }, key(Key::a), true, Action::none, 0,
     none},
    // No group yet: unlisted keys reach the views.
    {"no group: keys pass", [](State& s) { s.hasGroup = false; }, key(Key::space), false, Action::none, 0, none},
    // Expanded footer.
    {"footer: down stops at row 4",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 4; }, key(Key::down),
     true, Action::none, 0, none},
    {"footer: down from the header to row 0", [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; },
     key(Key::down), true, Action::none, 0, [](Focus& f) { f.footerRow = 0; }},
    {"footer: up from row 0 to the header",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 0; }, key(Key::up),
     true, Action::none, 0, [](Focus& f) { f.footerRow.reset(); }},
    {"footer: up from the header leaves", [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; },
     key(Key::up), true, Action::none, 0, [](Focus& f) { f.onFooter = false; }},
    {"footer: right on row 0 opens the hints",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 0; }, key(Key::right),
     true, Action::none, 0, [](Focus& f) { f.hintsOpen = true; }},
    {"footer: right on row 2 does nothing",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 2; }, key(Key::right),
     true, Action::none, 0, none},
    {"footer: space on the header collapses", [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; },
     key(Key::space), true, Action::none, 0, [](Focus& f) { f.shortcutsOpen = false; }},
    {"footer: return on row 1 records",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 1; },
     key(Key::returnKey), true, Action::startRecording, 0, none},
    {"footer: enter on row 2 toggles the volume keys",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 2; }, key(Key::enter),
     true, Action::toggleVolumeKeys, 0, none},
    {"footer: row 3 toggles login",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 3; }, key(Key::space),
     true, Action::toggleLogin, 0, none},
    {"footer: row 4 opens the health window",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 4; },
     key(Key::returnKey), true, Action::openHealth, 0, none},
    {"footer: a row out of range counts as the header",
     [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; s.focus.footerRow = 9; },
     key(Key::returnKey), true, Action::none, 0, [](Focus& f) { f.shortcutsOpen = false; f.footerRow.reset(); }},
    {"footer: other keys are swallowed", [](State& s) { s.focus.onFooter = true; s.focus.shortcutsOpen = true; },
     key(Key::digit1), true, Action::none, 0, none},
    // Collapsed footer.
    {"collapsed: up leaves", [](State& s) { s.focus.onFooter = true; }, key(Key::up), true, Action::none, 0,
     [](Focus& f) { f.onFooter = false; }},
    {"collapsed: return expands", [](State& s) { s.focus.onFooter = true; }, key(Key::returnKey), true, Action::none,
     0, [](Focus& f) { f.shortcutsOpen = true; }},
    {"collapsed: k expands with the hints", [](State& s) { s.focus.onFooter = true; }, key(Key::k), true,
     Action::none, 0, [](Focus& f) { f.shortcutsOpen = true; f.hintsOpen = true; }},
    {"collapsed: space plays", [](State& s) { s.focus.onFooter = true; }, key(Key::space), true, Action::togglePlay, 0,
     none},
    {"collapsed: a gathers", [](State& s) { s.focus.onFooter = true; }, key(Key::a), true, Action::joinAll, 0, none},
    // Room list.
    {"rooms: down on the last room enters the footer", [](State& s) { s.focus.index = 4; }, key(Key::down), true,
     Action::none, 0, [](Focus& f) { f.onFooter = true; }},
    {"rooms: down in an empty list enters the footer", [](State& s) { s.roomCount = 0; }, key(Key::down), true,
     Action::none, 0, [](Focus& f) { f.onFooter = true; }},
    {"rooms: down highlights the first room", none, key(Key::down), true, Action::none, 0,
     [](Focus& f) { f.index = 0; }},
    {"rooms: up from the first room clears", [](State& s) { s.focus.index = 0; }, key(Key::up), true, Action::none, 0,
     [](Focus& f) { f.index.reset(); }},
    {"rooms: right raises the group by 4", none, key(Key::right), true, Action::groupVolume, 54, none},
    {"rooms: shift-equals raises by 1", none, key(Key::equals, false, true), true, Action::groupVolume, 51, none},
    {"rooms: never above 100", [](State& s) { s.groupVolume = 98; }, key(Key::right), true, Action::groupVolume, 100,
     none},
    {"rooms: minus never below 0", [](State& s) { s.groupVolume = 2; }, key(Key::minus), true, Action::groupVolume, 0,
     none},
    {"rooms: a focused member's own volume",
     [](State& s) { s.focus.index = 1; s.focusedIsMember = true; s.focusedRoomVolume = 20; }, key(Key::left), true,
     Action::roomVolume, 16, none},
    {"rooms: a focused room of another group: nothing", [](State& s) { s.focus.index = 4; s.focusedIsMember = false; },
     key(Key::right), true, Action::none, 0, none},
    {"rooms: return makes a member leave", [](State& s) { s.focus.index = 1; s.focusedIsMember = true; },
     key(Key::returnKey), true, Action::setMember, 0, none},
    {"rooms: enter lets another room join", [](State& s) { s.focus.index = 4; s.focusedIsMember = false; },
     key(Key::enter), true, Action::setMember, 1, none},
    {"rooms: return without a room does nothing", none, key(Key::returnKey), true, Action::none, 0, none},
    {"rooms: tab selects the next group", none, key(Key::tab), true, Action::selectGroup, 1, none},
    {"rooms: shift-tab the previous", none, key(Key::tab, false, true), true, Action::selectGroup, -1, none},
    {"rooms: digit 1 applies the first preset", none, key(Key::digit1), true, Action::applyPreset, 0, none},
    {"rooms: digit 3 with two presets does nothing", none, key(Key::digit3), true, Action::none, 0, none},
    {"rooms: unlisted keys are swallowed", none, key(Key::k), true, Action::none, 0, none},
};

} // namespace

TEST(PanelKeyMap, EachKeyInItsStateDoesWhatTheMapSays) {
    for (const Case& c : cases) {
        State state = base();
        c.given(state);
        Focus focus = state.focus;
        c.focusAfter(focus);
        const PanelKeyMap::Outcome expected{c.consumed, c.action, c.value, focus};
        const PanelKeyMap::Outcome got = PanelKeyMap::decide(c.press, state);
        EXPECT_EQ(got.consumed, expected.consumed) << c.name;
        EXPECT_EQ(int(got.action), int(expected.action)) << c.name;
        EXPECT_EQ(got.value, expected.value) << c.name;
        EXPECT_TRUE(got.focus == expected.focus) << c.name;
    }
}

TEST(PanelKeyMap, KeysAreReadByPositionAndByQtKeyWithoutOne) {
    // The evdev key codes of the X11 display, checked against the evdev keycodes file.
    const std::pair<quint32, Key> codes[] = {
        {9, Key::escape}, {36, Key::returnKey}, {104, Key::enter}, {65, Key::space},  {23, Key::tab},
        {113, Key::left}, {114, Key::right},    {116, Key::down},  {111, Key::up},    {38, Key::a},
        {45, Key::k},     {21, Key::equals},    {20, Key::minus},  {10, Key::digit1}, {18, Key::digit9},
        {19, Key::other}, {39, Key::other}};
    for (const auto& [code, expected] : codes)
        EXPECT_EQ(int(PanelKeyMap::fromKeyCode(code)), int(expected)) << code;

    // A layout that puts "q" elsewhere still quits: Ctrl-Q follows the character.
    const QKeyEvent quit(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier, 24, 0, 0, QStringLiteral("\x11"));
    EXPECT_EQ(PanelKeyMap::pressOf(quit).character, QStringLiteral("q"));
    EXPECT_TRUE(PanelKeyMap::pressOf(quit).command);
    // A French layout types Q on the key where a US layout has A: the position decides.
    const QKeyEvent onA(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, 38, 0, 0);
    EXPECT_EQ(int(PanelKeyMap::pressOf(onA).key), int(Key::a));
    // Without a native code (offscreen, Wayland) Qt's key decides; Backtab is Shift-Tab.
    const QKeyEvent backtab(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(int(PanelKeyMap::pressOf(backtab).key), int(Key::tab));
    EXPECT_TRUE(PanelKeyMap::pressOf(backtab).shift);
    const QKeyEvent seven(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier);
    EXPECT_EQ(int(PanelKeyMap::pressOf(seven).key), int(Key::digit7));
}
