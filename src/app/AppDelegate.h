#pragma once

#include "app/LoginItem.h"
#include "app/MediaKeys.h"
#include "app/PanelKeyMap.h"
#include "app/Updates.h"
#include "core/Clock.h"
#include "household/Household.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/PanelPresence.h"

#include <QObject>
#include <QRect>
#include <QSize>
#include <QStringList>

#include <functional>
#include <memory>

class AppFooterSettings;
class HealthCheck;
class HotKey;
class KeyGrabber;
class LoginRegistration;
class Panel;
class PanelView;
class QKeyEvent;
class SettingsStore;
class Support;
class TrayItem;
class VolumeHUD;
class X11KeyGrabber;

// The running program: builds the tray item, the household and the panel at start, owns every
// long-lived object until the end, opens and closes the panel, and carries out the hand-overs
// of later starts (URLs and reopens).
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // The settings store and the login registration outlive the delegate. `access` replaces how
    // the household reaches the speakers (tests); empty means the real speakers.
    AppDelegate(SettingsStore& settings, LoginRegistration& login, Household::SpeakerAccess access = {},
                QObject* parent = nullptr);
    ~AppDelegate() override;

    // The start-up sequence, in its order; called once, with the event loop about to run.
    void start();
    // The end of the program: cancels every event subscription, waiting at most 1 s.
    void terminate();

    // The tray item's click: closes with the fade, or opens.
    void toggle();
    // The hot key's action: closes at once, or opens.
    void toggleFromKeyboard();
    // A later start without URLs: opens the panel unless it is open.
    void reopen();
    // URLs handed over by a later start (or given to this one), in order.
    void open(const QStringList& urls);

    void show();
    void hide(bool animated);
    // Places and sizes the panel for a content size; the root view's size report.
    void fit(QSize size);

    // The media keys' handler: true when the key was taken for the active group; false leaves
    // it to the desktop.
    bool volumeKey(MediaKeys::Key key, bool fine);
    // The panel's key map over one key press; true when it took the key.
    bool keyPressed(const QKeyEvent& event);
    // The display's key grabs to use instead of the X11 ones (tests); before start().
    void useKeyGrabber(KeyGrabber* grabber) { injectedGrabber_ = grabber; }

    // What the views and the tests read.
    Household& household();
    bool hasHousehold() const { return household_ != nullptr; }
    bool isOpen() const { return isOpen_; }
    Panel* panel() const { return panel_.get(); }
    TrayItem* tray() const { return tray_; }
    KeyboardFocus& focus() { return focus_; }
    PanelPresence& presence() { return presence_; }
    LoginItem& loginItem() { return loginItem_; }
    Updates& updates() { return updates_; }
    HealthCheck& health() { return *health_; }
    Support& support() { return *support_; }
    AppFooterSettings& footerSettings() { return *footerSettings_; }
    HotKey* hotKey() const { return hotKey_.get(); }
    MediaKeys* mediaKeys() const { return mediaKeys_.get(); }
    VolumeHUD* hud() const { return hud_.get(); }
    QSize contentSize() const { return contentSize_; }

    // Where later parts of the program plug in; each may stay empty.
    // Opens the system-health window (after the panel closed without fade).
    std::function<void()> openHealthWindow;
    // Starts a health check unless a recent one exists; called each time the panel opens.
    std::function<void()> checkHealthIfStale;
    // The route menu of the panel is open: clicks elsewhere leave the panel open.
    std::function<bool()> pickerOpen;
    // Ends a hot-key recording in progress; called when the panel closes.
    std::function<void()> endHotKeyRecording;
    // The panel's key map; true when it took the key. Asked only while the panel is open.
    std::function<bool(QKeyEvent*)> handleKey;

signals:
    // The tray item's state was set from the household (tests and logs).
    void playingShown(bool playing);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The start-up steps, in their order.
    void createStatusItem();
    void followPlayingState();
    void createHotKey();
    void buildRootView();
    void installHealthCallbacks();
    void createPanel();
    void installEditingMonitor();
    void startMediaKeys();
    void migrateOnboarding();
    void scheduleFirstShow();

    void panelDeactivated();
    KeyGrabber* makeKeyGrabber();
    bool mediaKeysWanted();
    void setKeyHooks();
    PanelKeyMap::State keyMapState();
    void carryOut(const PanelKeyMap::Outcome& outcome, const QKeyEvent& event);
    void carryOutOnGroup(const PanelKeyMap::Outcome& outcome, const SpeakerGroup& group,
                         const std::optional<Room>& room);
    void applyFocus(const PanelKeyMap::Focus& focus);
    void openHealth();
    bool onboarded() const;
    // The rectangle the panel hangs from: the tray icon, else where it was last clicked, else
    // the last known icon, else the top right of the screen under the pointer.
    QRect anchor();
    void flushSettings();

    SettingsStore& settings_;
    Household::SpeakerAccess access_;
    std::unique_ptr<Household> household_;
    // Before the panel: the views inside it read these until they go.
    std::unique_ptr<HealthCheck> health_;
    std::unique_ptr<Support> support_;
    std::unique_ptr<AppFooterSettings> footerSettings_;
    TrayItem* tray_ = nullptr;
    std::unique_ptr<Panel> panel_;
    PanelView* root_ = nullptr;
    QSize contentSize_{360, 200};
    int fitGeneration_ = 0;
    KeyboardFocus focus_;
    PanelPresence presence_;
    LoginItem loginItem_;
    Updates updates_;
    bool isOpen_ = false;
    bool keyMonitor_ = false;
    bool clickMonitor_ = false;
    Clock::Id fadeTask_ = 0;
    QRect lastAnchor_;
    bool terminated_ = false;
    // The keyboard control: grabs, hot key, volume keys and their display.
    KeyGrabber* injectedGrabber_ = nullptr;
    std::unique_ptr<X11KeyGrabber> ownGrabber_;
    KeyGrabber* grabber_ = nullptr;
    std::unique_ptr<HotKey> hotKey_;
    std::unique_ptr<VolumeHUD> hud_;
    std::unique_ptr<MediaKeys> mediaKeys_;
};
