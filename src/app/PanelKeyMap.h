#pragma once

#include <QString>

#include <optional>

class QKeyEvent;

// The panel's keyboard map, as a pure decision: a key press and the state it meets give what
// happens — whether the key is taken, the operation to start and the keyboard focus after it.
// Keys are matched by their physical position (the display's key code, evdev map), or by
// Qt's key where there is none; Ctrl takes the place of the Command key, and only Ctrl-Q and
// Ctrl-comma follow the keyboard layout.
class PanelKeyMap {
public:
    enum class Key {
        other,
        escape,
        returnKey,
        enter,
        space,
        tab,
        left,
        right,
        down,
        up,
        a,
        k,
        equals,
        minus,
        digit1,
        digit2,
        digit3,
        digit4,
        digit5,
        digit6,
        digit7,
        digit8,
        digit9,
    };

    struct Press {
        Key key = Key::other;
        bool command = false; // Ctrl
        bool shift = false;
        // The key's character in the current layout, lower case; for Ctrl-Q and Ctrl-comma.
        QString character;
    };
    static Press pressOf(const QKeyEvent& event);
    // The physical key of an X11 key code (evdev map); `other` for keys the map does not use.
    static Key fromKeyCode(quint32 keyCode);
    static Key fromQtKey(int key);

    struct Focus {
        std::optional<int> index;
        bool onFooter = false;
        bool shortcutsOpen = false;
        std::optional<int> footerRow;
        int onboardingPage = 0;
        bool hintsOpen = false;
        bool operator==(const Focus&) const = default;
    };

    struct State {
        Focus focus;
        bool recording = false; // a hot key is being recorded
        bool editing = false;   // a name is being edited in the panel
        bool onboarded = false;
        bool hasGroup = false; // an active group exists
        int roomCount = 0;     // every room of every group
        // The focused room belongs to the active group; none without a focused room.
        std::optional<bool> focusedIsMember;
        int groupVolume = 0;
        int focusedRoomVolume = 0; // within the active group's snapshot
        int presetCount = 0;
    };

    enum class Action {
        none,
        stopRecording,
        record,
        quit,
        skip, // value 1 forward, 0 back
        hideNow,
        finishOnboarding,
        startRecording,
        toggleVolumeKeys,
        toggleLogin,
        openHealth,
        togglePlay,
        joinAll,
        groupVolume, // value: the new group volume
        roomVolume,  // value: the new volume of the focused room
        setMember,   // value 1 join, 0 leave (the focused room)
        selectGroup, // value: the offset, +1 or −1
        applyPreset, // value: the position in the preset list
    };

    struct Outcome {
        bool consumed = true;
        Action action = Action::none;
        int value = 0;
        Focus focus;
        bool operator==(const Outcome&) const = default;
    };

    static constexpr int stepNormal = 4;
    static constexpr int stepFine = 1;
    static constexpr int lastFooterRow = 4;

    static Outcome decide(const Press& press, const State& state);

private:
    static std::optional<Outcome> command(const Press& press, const State& state);
    static Outcome onboarding(const Press& press, const State& state);
    static Outcome expandedFooter(const Press& press, const State& state);
    static Outcome footerRowAction(const State& state, int row);
    static Outcome collapsedFooter(const Press& press, const State& state);
    static Outcome roomList(const Press& press, const State& state);
    static Outcome volume(const Press& press, const State& state, int direction);
};
