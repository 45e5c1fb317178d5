#pragma once

#include "core/Clock.h"

#include <QObject>

#include <functional>

class KeyGrabber;
class SettingsStore;

// The keyboard's volume-up, volume-down and mute keys for the speakers: grabbed on the display,
// decoded and handed to a handler that decides whether it takes each press.
//
// The desktop normally owns these keys and changes the computer's own volume with them. A grab
// cannot hand a key back, so the keys are grabbed only while the handler would take them
// (`wanted`: the setting is on and the active group plays) and released otherwise; call
// `reevaluate()` whenever that may have changed. A press the handler declines in between (a
// race with the group stopping) is dropped.
//
// "Trusted" means the grabs succeed: a desktop daemon that holds the keys makes them fail. A
// poll every second tries again while they fail, and `onGranted` runs once each time they
// start to succeed after failing while the service ran. Without a display that grabs, nothing
// is ever trusted.
class MediaKeys : public QObject {
    Q_OBJECT
public:
    enum class Key { up, down, mute };
    using Handler = std::function<bool(Key, bool fine)>;

    // The keysyms of the three keys (XF86AudioRaiseVolume, XF86AudioLowerVolume, XF86AudioMute).
    static constexpr quint32 raiseVolume = 0x1008FF13;
    static constexpr quint32 lowerVolume = 0x1008FF11;
    static constexpr quint32 muteVolume = 0x1008FF12;
    static constexpr std::chrono::milliseconds pollInterval{1000};

    // `grabber` may be null (no display with grabs).
    MediaKeys(KeyGrabber* grabber, Handler handler, std::function<void()> onGranted,
              QObject* parent = nullptr);
    ~MediaKeys() override;

    // Whether the keys would be taken now; asked at each poll and each reevaluate().
    void setWanted(std::function<bool()> wanted) { wanted_ = std::move(wanted); }
    // The stored "volumeKeys" switch: on when absent or not a Boolean.
    static bool enabled(const SettingsStore& settings);

    void start();
    // Grabs or releases the keys as `wanted` now says.
    void reevaluate();
    // Tries the grabs now, as the next poll would (the user asked for the keys).
    void ask() { sync(); }

    bool available() const;
    bool trusted() const { return trusted_; }
    bool holding() const { return holding_; }

    // A press or release of one of the keys, with the display's modifier bits; what the grabs
    // deliver (public for tests).
    void deliver(Key key, bool pressed, quint16 modifiers);

signals:
    // `trusted` or `holding` changed.
    void changed();

private:
    void sync();
    void schedulePoll();
    bool wanted() const { return wanted_ && wanted_(); }
    bool grabAll();
    void release();
    void setTrusted(bool trusted);

    KeyGrabber* grabber_;
    Handler handler_;
    std::function<void()> onGranted_;
    std::function<bool()> wanted_;
    // Key codes of the three keys as resolved at the last grab.
    quint32 codes_[3] = {0, 0, 0};
    bool trusted_ = false;
    bool wasTrusted_ = false;
    bool holding_ = false;
    bool polling_ = false;
    bool loggedRefusal_ = false;
    Clock::Id poll_ = 0;
};
