#pragma once

#include "ui/rooms/RoomsEnvironment.h"

#include <functional>

class LoginItem;
class SettingsStore;

// The footer's settings over the program's own objects: the login item directly, the stored
// "volumeKeys" switch (on when absent) until the media keys take it over, the hot key and the key grabs
// through the hooks the keyboard control sets when it starts (until then: no hot key, global keys
// unavailable).
class AppFooterSettings : public FooterSettings {
    Q_OBJECT
public:
    AppFooterSettings(SettingsStore& settings, LoginItem& login, QObject* parent = nullptr);

    struct KeyHooks {
        std::function<QString()> hotKeyLabel;
        std::function<bool()> recording;
        std::function<void(bool)> setRecording;
        std::function<bool()> available;
        std::function<bool()> trusted;
        // The media keys' switch, which re-evaluates the grabs; empty: the stored value only.
        std::function<bool()> volumeKeys;
        std::function<void(bool)> setVolumeKeys;
        // Tries the key grabs at once.
        std::function<void()> askForKeys;
    };
    // The keyboard control's side; call notifyChanged() whenever one of its values changes.
    void setKeyHooks(KeyHooks hooks);
    void notifyChanged() { emit changed(); }
    std::function<void()> onOpenHealthWindow;

    QString hotKeyLabel() const override;
    bool recording() const override;
    void setRecording(bool recording) override;
    bool volumeKeys() const override;
    void setVolumeKeys(bool on) override;
    bool globalKeysAvailable() const override;
    bool keysTrusted() const override;
    void askForKeys() override;
    bool loginEnabled() const override;
    void setLoginEnabled(bool enabled) override;
    void openHealthWindow() override;

private:
    SettingsStore& settings_;
    LoginItem& login_;
    KeyHooks hooks_;
};
