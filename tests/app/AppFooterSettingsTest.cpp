#include "app/AppFooterSettings.h"
#include "app/LoginItem.h"
#include "platform/LoginRegistration.h"
#include "platform/SettingsStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Registration : LoginRegistration {
    bool on = false;
    bool refuse = false;
    bool registered() const override { return on; }
    std::optional<QString> setRegistered(bool wanted) override {
        if (refuse)
            return QStringLiteral("refused");
        on = wanted;
        return std::nullopt;
    }
};

struct Footer : ::testing::Test {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.json"))};
    Registration registration;
    LoginItem login{registration};
    AppFooterSettings settings{store, login};
};

} // namespace

TEST_F(Footer, VolumeKeysAreOnWhenNothingIsStoredAndTheSwitchIsStored) {
    EXPECT_TRUE(settings.volumeKeys());
    QSignalSpy changed(&settings, &FooterSettings::changed);
    settings.setVolumeKeys(false);
    EXPECT_FALSE(settings.volumeKeys());
    EXPECT_EQ(store.boolValue(QStringLiteral("volumeKeys")), false);
    settings.setVolumeKeys(false);
    EXPECT_EQ(changed.size(), 1) << "a switch that changes nothing says nothing";
}

TEST_F(Footer, TheMediaKeysTakeTheSwitchOverOnceTheyStart) {
    bool enabled = true;
    AppFooterSettings::KeyHooks hooks;
    hooks.volumeKeys = [&] { return enabled; };
    hooks.setVolumeKeys = [&](bool on) { enabled = on; };
    settings.setKeyHooks(std::move(hooks));
    settings.setVolumeKeys(false);
    EXPECT_FALSE(enabled);
    EXPECT_FALSE(store.boolValue(QStringLiteral("volumeKeys")).has_value());
}

TEST_F(Footer, LoginShowsWhatTheDesktopReportsAfterEveryChange) {
    QSignalSpy changed(&settings, &FooterSettings::changed);
    settings.setLoginEnabled(true);
    EXPECT_TRUE(settings.loginEnabled());
    registration.refuse = true;
    settings.setLoginEnabled(false);
    EXPECT_TRUE(settings.loginEnabled()) << "a refused change leaves the switch where the desktop has it";
    EXPECT_GE(changed.size(), 1);
}

TEST_F(Footer, BeforeTheKeyboardControlStartsThereIsNoHotKeyAndNoNoticeToShow) {
    EXPECT_EQ(settings.hotKeyLabel(), QString());
    EXPECT_FALSE(settings.recording());
    EXPECT_FALSE(settings.globalKeysAvailable());
    EXPECT_TRUE(settings.keysTrusted());
}
