#pragma once

#include <QObject>
#include <QString>

#include <functional>

class KeyGrabber;
class QKeyEvent;
class SettingsStore;

// The system-wide shortcut that opens and closes the panel from any program: one key
// combination grabbed on the display, an action on each press, a recording of a new
// combination from inside the panel, and the combination kept in the settings.
//
// The modifier bits are the program's own (Control, Alt, Shift, Super), stored as they are
// under "hotkeyMods". A stored combination without Control, Alt or Super would grab a bare key
// everywhere; it loads as the default instead. Nothing is written until a recording succeeds.
class HotKey : public QObject {
    Q_OBJECT
public:
    static constexpr quint32 control = 0x40000;
    static constexpr quint32 alt = 0x80000;
    static constexpr quint32 shift = 0x20000;
    static constexpr quint32 super = 0x100000;
    static constexpr quint32 modifierMask = control | alt | shift | super;
    // The physical S key of the evdev keyboard map; the default when the display cannot say.
    static constexpr quint32 evdevS = 39;

    struct Shortcut {
        quint32 keyCode = evdevS;
        quint32 modifiers = control | alt;
        QString key = QStringLiteral("S");

        // "Ctrl+Alt+Shift+Super+K", modifiers in that fixed order, each only when present.
        QString label() const;
        // The display's modifier bits for the grab.
        quint16 grabModifiers() const;
        bool operator==(const Shortcut&) const = default;
    };

    // A key pressed in the panel while recording: its physical key code, the program's
    // modifier bits and the characters of the key without modifiers.
    struct Press {
        quint32 keyCode = 0;
        quint32 modifiers = 0;
        QString characters;
    };
    static Press pressOf(const QKeyEvent& event);

    // The live hot key: loads the stored combination (or the default) and grabs it; a grab
    // refused at start is only logged. `grabber` may be null (no display with grabs): nothing is
    // grabbed then. `beep` sounds when a recorded combination is refused by the display.
    HotKey(KeyGrabber* grabber, SettingsStore& settings, std::function<void()> action,
           std::function<void()> beep, QObject* parent = nullptr);
    ~HotKey() override;

    const Shortcut& shortcut() const { return shortcut_; }
    bool registered() const { return registered_; }
    bool recording() const { return recording_; }
    void setRecording(bool recording);

    // Tries to make `press` the new combination; true when it was taken. A press without
    // Control, Alt or Super, or without characters, is refused silently; one the display
    // refuses keeps the old combination, beeps, and leaves the recording on.
    bool record(const Press& press);

signals:
    // The combination or the recording state changed.
    void changed();

private:
    Shortcut load() const;
    bool grab(const Shortcut& shortcut);
    void ungrab(const Shortcut& shortcut);

    KeyGrabber* grabber_;
    SettingsStore& settings_;
    std::function<void()> action_;
    std::function<void()> beep_;
    Shortcut shortcut_;
    bool registered_ = false;
    bool recording_ = false;
    // The grabbed keys are down (auto-repeat delivers further presses without a release).
    bool held_ = false;
};
