#include "app/PanelKeyMap.h"

#include <QKeyEvent>

#include <algorithm>

namespace {
using Key = PanelKeyMap::Key;
using Action = PanelKeyMap::Action;
using Outcome = PanelKeyMap::Outcome;

Outcome taken(const PanelKeyMap::Focus& focus, Action action = Action::none, int value = 0) {
    return Outcome{true, action, value, focus};
}

Outcome passed(const PanelKeyMap::Focus& focus) {
    return Outcome{false, Action::none, 0, focus};
}

bool isActivate(Key key) {
    return key == Key::returnKey || key == Key::enter;
}

int digitIndex(Key key) {
    if (key < Key::digit1 || key > Key::digit9)
        return -1;
    return int(key) - int(Key::digit1);
}

// Collapsing the settings section always leaves its rows.
void setShortcutsOpen(PanelKeyMap::Focus& focus, bool open) {
    focus.shortcutsOpen = open;
    if (!open)
        focus.footerRow.reset();
}
} // namespace

PanelKeyMap::Key PanelKeyMap::fromKeyCode(quint32 keyCode) {
    switch (keyCode) {
    case 9:
        return Key::escape;
    case 36:
        return Key::returnKey;
    case 104:
        return Key::enter;
    case 65:
        return Key::space;
    case 23:
        return Key::tab;
    case 113:
        return Key::left;
    case 114:
        return Key::right;
    case 116:
        return Key::down;
    case 111:
        return Key::up;
    case 38:
        return Key::a;
    case 45:
        return Key::k;
    case 21:
        return Key::equals;
    case 20:
        return Key::minus;
    default:
        break;
    }
    if (keyCode >= 10 && keyCode <= 18)
        return Key(int(Key::digit1) + int(keyCode - 10));
    return Key::other;
}

PanelKeyMap::Key PanelKeyMap::fromQtKey(int key) {
    switch (key) {
    case Qt::Key_Escape:
        return Key::escape;
    case Qt::Key_Return:
        return Key::returnKey;
    case Qt::Key_Enter:
        return Key::enter;
    case Qt::Key_Space:
        return Key::space;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return Key::tab;
    case Qt::Key_Left:
        return Key::left;
    case Qt::Key_Right:
        return Key::right;
    case Qt::Key_Down:
        return Key::down;
    case Qt::Key_Up:
        return Key::up;
    case Qt::Key_A:
        return Key::a;
    case Qt::Key_K:
        return Key::k;
    case Qt::Key_Equal:
        return Key::equals;
    case Qt::Key_Minus:
        return Key::minus;
    default:
        break;
    }
    if (key >= Qt::Key_1 && key <= Qt::Key_9)
        return Key(int(Key::digit1) + (key - Qt::Key_1));
    return Key::other;
}

PanelKeyMap::Press PanelKeyMap::pressOf(const QKeyEvent& event) {
    Press press;
    const quint32 code = event.nativeScanCode();
    press.key = code != 0 ? fromKeyCode(code) : fromQtKey(event.key());
    press.command = event.modifiers() & Qt::ControlModifier;
    // Backtab is what Shift-Tab arrives as.
    press.shift = (event.modifiers() & Qt::ShiftModifier) || event.key() == Qt::Key_Backtab;
    if (event.key() >= Qt::Key_Space && event.key() <= Qt::Key_AsciiTilde)
        press.character = QChar(event.key()).toLower();
    return press;
}

PanelKeyMap::Outcome PanelKeyMap::decide(const Press& press, const State& state) {
    Focus focus = state.focus;
    if (state.recording)
        return taken(focus, press.key == Key::escape ? Action::stopRecording : Action::record);
    if (state.editing)
        return passed(focus);
    if (press.command) {
        if (auto outcome = command(press, state))
            return *outcome;
        return passed(focus);
    }
    if (press.key == Key::escape) {
        if (!focus.shortcutsOpen)
            return taken(focus, Action::hideNow);
        setShortcutsOpen(focus, false);
        return taken(focus);
    }
    if (!state.onboarded)
        return onboarding(press, state);
    if (!state.hasGroup)
        return passed(focus);
    if (focus.onFooter && focus.shortcutsOpen)
        return expandedFooter(press, state);
    if (focus.onFooter)
        return collapsedFooter(press, state);
    return roomList(press, state);
}

std::optional<PanelKeyMap::Outcome> PanelKeyMap::command(const Press& press, const State& state) {
    Focus focus = state.focus;
    if (press.character == QStringLiteral("q"))
        return taken(focus, Action::quit);
    if (press.character == QStringLiteral(",")) {
        focus.shortcutsOpen = true;
        focus.onFooter = true;
        return taken(focus);
    }
    if ((press.key == Key::left || press.key == Key::right) && state.onboarded && state.hasGroup)
        return taken(focus, Action::skip, press.key == Key::right ? 1 : 0);
    return std::nullopt;
}

PanelKeyMap::Outcome PanelKeyMap::onboarding(const Press& press, const State& state) {
    Focus focus = state.focus;
    if (press.key == Key::left) {
        focus.onboardingPage = std::max(focus.onboardingPage - 1, 0);
    } else if (press.key == Key::right || isActivate(press.key)) {
        if (focus.onboardingPage > 2)
            return taken(focus, Action::finishOnboarding);
        focus.onboardingPage += 1;
    }
    return taken(focus);
}

PanelKeyMap::Outcome PanelKeyMap::expandedFooter(const Press& press, const State& state) {
    Focus focus = state.focus;
    // A row outside the known ones counts as the section's header (-1).
    int row = focus.footerRow.value_or(-1);
    if (row > lastFooterRow)
        row = -1;
    switch (press.key) {
    case Key::left:
    case Key::right:
        if (row == 0)
            focus.hintsOpen = press.key == Key::right;
        break;
    case Key::down:
        focus.footerRow = std::min(row + 1, lastFooterRow);
        break;
    case Key::up:
        if (row < 0)
            focus.onFooter = false;
        else if (row == 0)
            focus.footerRow.reset();
        else
            focus.footerRow = row - 1;
        break;
    case Key::returnKey:
    case Key::enter:
    case Key::space:
        if (row < 0) {
            setShortcutsOpen(focus, false);
            break;
        }
        return footerRowAction(state, row);
    case Key::k:
        focus.hintsOpen = !focus.hintsOpen;
        break;
    default:
        break;
    }
    return taken(focus);
}

PanelKeyMap::Outcome PanelKeyMap::footerRowAction(const State& state, int row) {
    Focus focus = state.focus;
    switch (row) {
    case 0:
        focus.hintsOpen = !focus.hintsOpen;
        return taken(focus);
    case 1:
        return taken(focus, Action::startRecording);
    case 2:
        return taken(focus, Action::toggleVolumeKeys);
    case 3:
        return taken(focus, Action::toggleLogin);
    case 4:
        return taken(focus, Action::openHealth);
    default:
        return taken(focus);
    }
}

PanelKeyMap::Outcome PanelKeyMap::collapsedFooter(const Press& press, const State& state) {
    Focus focus = state.focus;
    switch (press.key) {
    case Key::up:
        focus.onFooter = false;
        return taken(focus);
    case Key::returnKey:
    case Key::enter:
        focus.shortcutsOpen = true;
        return taken(focus);
    case Key::space:
        return taken(focus, Action::togglePlay);
    case Key::a:
        return taken(focus, Action::joinAll);
    case Key::k:
        focus.shortcutsOpen = true;
        focus.hintsOpen = !focus.hintsOpen;
        return taken(focus);
    default:
        return taken(focus);
    }
}

PanelKeyMap::Outcome PanelKeyMap::roomList(const Press& press, const State& state) {
    Focus focus = state.focus;
    switch (press.key) {
    case Key::up:
        if (!focus.index || *focus.index <= 0)
            focus.index.reset();
        else
            focus.index = *focus.index - 1;
        return taken(focus);
    case Key::down: {
        const int next = focus.index.value_or(-1) + 1;
        if (next >= state.roomCount)
            focus.onFooter = true;
        else
            focus.index = next;
        return taken(focus);
    }
    case Key::space:
        return taken(focus, Action::togglePlay);
    case Key::right:
    case Key::equals:
        return volume(press, state, +1);
    case Key::left:
    case Key::minus:
        return volume(press, state, -1);
    case Key::returnKey:
    case Key::enter:
        if (!state.focusedIsMember)
            return taken(focus);
        return taken(focus, Action::setMember, *state.focusedIsMember ? 0 : 1);
    case Key::a:
        return taken(focus, Action::joinAll);
    case Key::tab:
        return taken(focus, Action::selectGroup, press.shift ? -1 : +1);
    default:
        break;
    }
    const int preset = digitIndex(press.key);
    if (preset >= 0 && preset < state.presetCount)
        return taken(focus, Action::applyPreset, preset);
    return taken(focus);
}

PanelKeyMap::Outcome PanelKeyMap::volume(const Press& press, const State& state, int direction) {
    const int step = (press.shift ? stepFine : stepNormal) * direction;
    if (!state.focusedIsMember)
        return taken(state.focus, Action::groupVolume, std::clamp(state.groupVolume + step, 0, 100));
    if (!*state.focusedIsMember)
        return taken(state.focus);
    return taken(state.focus, Action::roomVolume, std::clamp(state.focusedRoomVolume + step, 0, 100));
}
