#include "app/AppFooterSettings.h"

#include "app/LoginItem.h"
#include "platform/SettingsStore.h"

namespace {
const QString volumeKeysKey = QStringLiteral("volumeKeys");
}

AppFooterSettings::AppFooterSettings(SettingsStore& settings, LoginItem& login, QObject* parent)
    : FooterSettings(parent), settings_(settings), login_(login) {
    connect(&login_, &LoginItem::enabledChanged, this, &FooterSettings::changed);
}

void AppFooterSettings::setKeyHooks(KeyHooks hooks) {
    hooks_ = std::move(hooks);
    emit changed();
}

QString AppFooterSettings::hotKeyLabel() const {
    return hooks_.hotKeyLabel ? hooks_.hotKeyLabel() : QString();
}

bool AppFooterSettings::recording() const {
    return hooks_.recording && hooks_.recording();
}

void AppFooterSettings::setRecording(bool recording) {
    if (hooks_.setRecording)
        hooks_.setRecording(recording);
    emit changed();
}

bool AppFooterSettings::volumeKeys() const {
    if (hooks_.volumeKeys)
        return hooks_.volumeKeys();
    return settings_.boolValue(volumeKeysKey).value_or(true);
}

void AppFooterSettings::setVolumeKeys(bool on) {
    if (volumeKeys() == on)
        return;
    if (hooks_.setVolumeKeys)
        hooks_.setVolumeKeys(on);
    else
        settings_.setBool(volumeKeysKey, on);
    emit changed();
}

bool AppFooterSettings::globalKeysAvailable() const {
    return hooks_.available && hooks_.available();
}

bool AppFooterSettings::keysTrusted() const {
    // Without key grabs there is nothing to grant; the notice stays hidden.
    return !hooks_.trusted || hooks_.trusted();
}

bool AppFooterSettings::loginEnabled() const {
    return login_.enabled();
}

void AppFooterSettings::setLoginEnabled(bool enabled) {
    login_.set(enabled);
}

void AppFooterSettings::askForKeys() {
    if (hooks_.askForKeys)
        hooks_.askForKeys();
}

void AppFooterSettings::openHealthWindow() {
    if (onOpenHealthWindow)
        onOpenHealthWindow();
}
