#pragma once

#include <QObject>
#include <QString>

#include <functional>

class HealthCheck;
class Household;
class KeyboardFocus;
class PanelPresence;
class Support;

// The program's settings that the keyboard footer shows and changes, as the footer needs them:
// the global hot key and its recording, the volume keys, opening at login and the system-health
// window. The application implements it over its hot key, media keys and login item; tests use
// a fake. `changed` is emitted after any of the values changed.
class FooterSettings : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The hot key's label as the footer shows it ("" when none is set).
    virtual QString hotKeyLabel() const = 0;
    virtual bool recording() const = 0;
    virtual void setRecording(bool recording) = 0;
    // The stored "volumeKeys" switch.
    virtual bool volumeKeys() const = 0;
    virtual void setVolumeKeys(bool on) = 0;
    // Whether this desktop lets the program take global keys at all (no grabs on Wayland).
    virtual bool globalKeysAvailable() const = 0;
    // Whether the key grabs are granted (the accessibility notice shows while they are not).
    virtual bool keysTrusted() const = 0;
    // The notice's "Erlauben": asks for the keys at once instead of at the next poll.
    virtual void askForKeys() = 0;
    virtual bool loginEnabled() const = 0;
    virtual void setLoginEnabled(bool enabled) = 0;
    virtual void openHealthWindow() = 0;

signals:
    void changed();
};

// What the room list, the footer, the searching tile and the banners read from their
// surroundings. Every pointer outlives the views it is given to; none may be null except
// `health` and `support` in render mode.
struct RoomsEnvironment {
    Household* household = nullptr;
    KeyboardFocus* focus = nullptr;
    PanelPresence* presence = nullptr;
    HealthCheck* health = nullptr;
    Support* support = nullptr;
    FooterSettings* settings = nullptr;
    // Opens the desktop's network settings; empty where this desktop has none to open (the
    // searching tile then offers no button for them).
    std::function<void()> openNetworkSettings;
};
