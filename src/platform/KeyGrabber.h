#pragma once

#include <QtGlobal>

#include <functional>
#include <optional>

// System-wide key grabs: a key (a physical key code of the display) with a set of modifiers
// taken from every other program, its presses delivered here. Lock keys (Caps Lock, Num Lock)
// never change which grab a press belongs to.
//
// One grab per (key code, modifiers); a second grab of the same pair replaces its callback.
// `grab` fails when another client already holds the key (the desktop's own shortcut, a
// media-key daemon) and then leaves nothing grabbed.
class KeyGrabber {
public:
    // The display's modifier bits, as the key events report them.
    static constexpr quint16 shiftMask = 1;
    static constexpr quint16 controlMask = 4;
    static constexpr quint16 altMask = 8;    // Mod1
    static constexpr quint16 superMask = 64; // Mod4
    // Grab with any modifiers at all.
    static constexpr quint16 anyModifier = 0x8000;

    // `pressed` is false for a release; `modifiers` holds the shift, control, alt and super bits
    // that were down.
    using Callback = std::function<void(bool pressed, quint16 modifiers)>;

    virtual ~KeyGrabber() = default;
    // Whether grabs can work at all (a display that supports them is connected).
    virtual bool available() const = 0;
    virtual bool grab(quint32 keyCode, quint16 modifiers, Callback callback) = 0;
    virtual void ungrab(quint32 keyCode, quint16 modifiers) = 0;
    // The key code that types `keysym` in the current keyboard map; none when no key does.
    virtual std::optional<quint32> keyCodeFor(quint32 keysym) const = 0;
};
