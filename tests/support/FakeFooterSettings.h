#pragma once

// The footer's settings as plain values, with a log of what the footer asked for.
#include "ui/kit/KeyboardFocus.h"
#include "ui/rooms/RoomsEnvironment.h"

#include <QStringList>

namespace test {

class FakeFooterSettings : public FooterSettings {
public:
    using FooterSettings::FooterSettings;

    QString hotKeyLabel() const override { return label; }
    bool recording() const override { return recording_; }
    void setRecording(bool on) override {
        calls.append(QStringLiteral("recording %1").arg(on));
        recording_ = on;
        emit changed();
    }
    bool volumeKeys() const override { return volumeKeys_; }
    void setVolumeKeys(bool on) override {
        calls.append(QStringLiteral("volumeKeys %1").arg(on));
        volumeKeys_ = on;
        emit changed();
    }
    bool globalKeysAvailable() const override { return available; }
    bool keysTrusted() const override { return trusted; }
    void askForKeys() override { calls.append(QStringLiteral("askForKeys")); }
    bool loginEnabled() const override { return login_; }
    void setLoginEnabled(bool on) override {
        calls.append(QStringLiteral("login %1").arg(on));
        login_ = on;
        emit changed();
    }
    void openHealthWindow() override { calls.append(QStringLiteral("health")); }

    QString label = QStringLiteral("Ctrl+Alt+S");
    bool available = true;
    bool trusted = true;
    QStringList calls;

private:
    bool recording_ = false;
    bool volumeKeys_ = true;
    bool login_ = false;
};

// What the footer takes of the rooms' environment: the panel's keyboard focus and these
// settings, no household, no health check.
struct FooterEnvironment {
    KeyboardFocus focus;
    FakeFooterSettings settings;
    RoomsEnvironment env{.household = nullptr,
                         .focus = &focus,
                         .presence = nullptr,
                         .health = nullptr,
                         .support = nullptr,
                         .settings = &settings,
                         .openNetworkSettings = {}};
};

} // namespace test
