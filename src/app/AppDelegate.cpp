#include "app/AppDelegate.h"

#include "app/AppFooterSettings.h"
#include "app/HotKey.h"
#include "app/VolumeHUD.h"

#include "app/Panel.h"
#include "app/PanelPlacement.h"
#include "app/TrayItem.h"
#include "app/UrlCommands.h"
#include "core/Log.h"
#include "core/RenderMode.h"
#include "core/Tasks.h"
#include "health/HealthCheck.h"
#include "health/Support.h"
#include "household/HouseholdKeys.h"
#include "platform/DesktopEntries.h"
#include "platform/SettingsStore.h"
#include "platform/X11KeyGrabber.h"
#include "ui/kit/WindowWarmUp.h"
#include "ui/panel/PanelView.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

using namespace std::chrono_literals;

namespace {
constexpr auto fadeOrderOut = 220ms;
constexpr auto shrinkDelay = 250ms;
constexpr auto firstLaunchShow = 600ms;
// Longest URL text written to the log.
constexpr qsizetype loggedUrlLength = 200;

QString forLog(const QString& url) {
    return url.size() > loggedUrlLength ? url.left(loggedUrlLength) + QStringLiteral("…") : url;
}
} // namespace

AppDelegate::AppDelegate(SettingsStore& settings, LoginRegistration& login, Household::SpeakerAccess access,
                         QObject* parent)
    : QObject(parent), settings_(settings), access_(std::move(access)), loginItem_(login) {}

AppDelegate::~AppDelegate() {
    Clock::cancel(fadeTask_);
    if (qApp)
        qApp->removeEventFilter(this);
    if (qApp && ownGrabber_)
        qApp->removeNativeEventFilter(ownGrabber_.get());
}

Household& AppDelegate::household() {
    if (!household_)
        household_ = std::make_unique<Household>(settings_, access_);
    return *household_;
}

void AppDelegate::start() {
    createStatusItem();
    followPlayingState();
    createHotKey();
    buildRootView();
    installHealthCallbacks();
    createPanel();
    installEditingMonitor();
    startMediaKeys();
    migrateOnboarding();
    scheduleFirstShow();
}

void AppDelegate::createStatusItem() {
    tray_ = new TrayItem(this);
    connect(tray_, &TrayItem::clicked, this, &AppDelegate::toggle);
}

void AppDelegate::followPlayingState() {
    Household& model = household();
    const auto update = [this] {
        const bool playing = household_->anyPlaying();
        if (tray_->playing() == playing)
            return;
        tray_->setPlaying(playing);
        emit playingShown(playing);
    };
    connect(&model, &Household::groupsChanged, this, update);
    // The stored groups show at once, before any speaker answered.
    update();
}

KeyGrabber* AppDelegate::makeKeyGrabber() {
    if (injectedGrabber_)
        return injectedGrabber_;
    auto* x11 = QGuiApplication::platformName() == u"xcb"
                    ? qApp->nativeInterface<QNativeInterface::QX11Application>()
                    : nullptr;
    if (!x11 || !x11->connection()) {
        qCInfo(logApp) << "No X11 display (platform" << QGuiApplication::platformName()
                       << "): the hot key and the volume keys are unavailable";
        return nullptr;
    }
    auto grabber = std::make_unique<X11KeyGrabber>(x11->connection());
    qApp->installNativeEventFilter(grabber.get());
    ownGrabber_ = std::move(grabber);
    return ownGrabber_.get();
}

void AppDelegate::createHotKey() {
    grabber_ = makeKeyGrabber();
    QPointer<AppDelegate> self(this);
    hotKey_ = std::make_unique<HotKey>(
        grabber_, settings_,
        [self] {
            if (self)
                self->toggleFromKeyboard();
        },
        [] { QApplication::beep(); });
    endHotKeyRecording = [this] { hotKey_->setRecording(false); };
    handleKey = [this](QKeyEvent* event) { return keyPressed(*event); };
}

namespace {

// The desktop's network settings: the first of the known settings panels that is installed;
// nothing where none is (the searching tile then offers no button for them).
std::function<void()> networkSettingsOpener() {
    static DesktopEntries applications;
    const auto app = applications.find({QStringLiteral("gnome-network-panel.desktop"),
                                        QStringLiteral("kcm_networkmanagement.desktop"),
                                        QStringLiteral("nm-connection-editor.desktop")});
    if (!app)
        return {};
    return [app = *app] {
        if (!applications.launch(app))
            qCWarning(logApp) << "could not start the network settings" << app.id;
    };
}

} // namespace

void AppDelegate::buildRootView() {
    health_ = std::make_unique<HealthCheck>(&household(), settings_);
    support_ = std::make_unique<Support>(settings_);
    footerSettings_ = std::make_unique<AppFooterSettings>(settings_, loginItem_);
    PanelEnvironment environment;
    environment.household = &household();
    environment.health = health_.get();
    environment.support = support_.get();
    environment.settings = footerSettings_.get();
    environment.focus = &focus_;
    environment.presence = &presence_;
    environment.store = &settings_;
    environment.openNetworkSettings = networkSettingsOpener();
    root_ = new PanelView(environment);
    connect(root_, &PanelView::sizeChanged, this, &AppDelegate::fit);
    connect(root_, &PanelView::quitRequested, qApp, &QCoreApplication::quit);
}

void AppDelegate::installHealthCallbacks() {
    health_->onOpenWindow = [this] { openHealth(); };
    health_->onReport = [this] {
        support_->reportProblem(Support::Context::make(&household(), health_->report()));
    };
    footerSettings_->onOpenHealthWindow = [this] { openHealth(); };
    checkHealthIfStale = [this] { health_->checkIfStale(); };
}

void AppDelegate::createPanel() {
    panel_ = std::make_unique<Panel>();
    panel_->setContent(root_);
    panel_->resize(contentSize_);
    WindowWarmUp::prepare(panel_.get());
    connect(panel_.get(), &Panel::deactivated, this, &AppDelegate::panelDeactivated);
    root_->report();
}

void AppDelegate::installEditingMonitor() {
    // One filter serves the editing monitor (for the program's life) and the key monitor
    // (only while the panel is open).
    qApp->installEventFilter(this);
}

void AppDelegate::startMediaKeys() {
    hud_ = std::make_unique<VolumeHUD>();
    QPointer<AppDelegate> self(this);
    mediaKeys_ = std::make_unique<MediaKeys>(
        grabber_, [self](MediaKeys::Key key, bool fine) { return self && self->volumeKey(key, fine); },
        [self] {
            if (!self)
                return;
            if (self->isOpen_) {
                self->panel_->raise();
                self->panel_->activateWindow();
            } else {
                self->show();
            }
        });
    mediaKeys_->setWanted([self] { return self && self->mediaKeysWanted(); });
    // The keys are held only while they would be taken: follow the playing state and the
    // active group.
    const auto reevaluate = [this] { mediaKeys_->reevaluate(); };
    connect(&household(), &Household::groupsChanged, this, reevaluate);
    connect(&household(), &Household::activeCoordinatorChanged, this, reevaluate);
    connect(mediaKeys_.get(), &MediaKeys::changed, footerSettings_.get(), &AppFooterSettings::notifyChanged);
    connect(hotKey_.get(), &HotKey::changed, footerSettings_.get(), &AppFooterSettings::notifyChanged);
    setKeyHooks();
    mediaKeys_->start();
}

void AppDelegate::setKeyHooks() {
    AppFooterSettings::KeyHooks hooks;
    // Without grabs no combination works: the row shows a dash rather than a dead shortcut.
    hooks.hotKeyLabel = [this] {
        return mediaKeys_->available() ? hotKey_->shortcut().label() : QStringLiteral("–");
    };
    hooks.recording = [this] { return hotKey_->recording(); };
    hooks.setRecording = [this](bool on) { hotKey_->setRecording(on); };
    hooks.available = [this] { return mediaKeys_->available(); };
    hooks.trusted = [this] { return mediaKeys_->trusted(); };
    hooks.volumeKeys = [this] { return MediaKeys::enabled(settings_); };
    hooks.setVolumeKeys = [this](bool on) {
        settings_.setBool(QStringLiteral("volumeKeys"), on);
        mediaKeys_->reevaluate();
    };
    hooks.askForKeys = [this] { mediaKeys_->ask(); };
    footerSettings_->setKeyHooks(std::move(hooks));
}

bool AppDelegate::mediaKeysWanted() {
    if (!MediaKeys::enabled(settings_))
        return false;
    const auto group = household().activeGroup();
    return group && Household::isPlaying(group->state);
}

bool AppDelegate::volumeKey(MediaKeys::Key key, bool fine) {
    if (!MediaKeys::enabled(settings_))
        return false;
    Household& model = household();
    const auto group = model.activeGroup();
    if (!group || !Household::isPlaying(group->state))
        return false;
    if (key == MediaKeys::Key::mute) {
        model.toggleMute(*group);
    } else {
        const int step =
            (fine ? PanelKeyMap::stepFine : PanelKeyMap::stepNormal) * (key == MediaKeys::Key::up ? 1 : -1);
        // A volume key unmutes.
        if (group->muted)
            model.toggleMute(*group);
        model.setVolume(*group, std::clamp(group->volume + step, 0, 100));
    }
    if (const auto shown = model.activeGroup())
        hud_->show(shown->artURL, shown->volume, shown->muted);
    return true;
}

PanelKeyMap::State AppDelegate::keyMapState() {
    PanelKeyMap::State state;
    state.focus = {focus_.index(),     focus_.onFooter(),       focus_.shortcutsOpen(),
                   focus_.footerRow(), focus_.onboardingPage(), focus_.hintsOpen()};
    state.recording = hotKey_->recording();
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    state.editing = editor && editor->window() == panel_.get();
    state.onboarded = onboarded();
    Household& model = household();
    const auto group = model.activeGroup();
    state.hasGroup = group.has_value();
    const QList<Room> rooms = model.allRooms();
    state.roomCount = int(rooms.size());
    state.presetCount = int(model.presets().size());
    if (!group)
        return state;
    state.groupVolume = group->volume;
    const std::optional<int> index = focus_.index();
    if (index && *index >= 0 && *index < rooms.size()) {
        const QString id = rooms[*index].id;
        const auto member = std::find_if(group->rooms.cbegin(), group->rooms.cend(),
                                         [&id](const Room& room) { return room.id == id; });
        state.focusedIsMember = member != group->rooms.cend();
        if (member != group->rooms.cend())
            state.focusedRoomVolume = member->volume;
    }
    return state;
}

bool AppDelegate::keyPressed(const QKeyEvent& event) {
    const PanelKeyMap::Outcome outcome = PanelKeyMap::decide(PanelKeyMap::pressOf(event), keyMapState());
    applyFocus(outcome.focus);
    carryOut(outcome, event);
    return outcome.consumed;
}

void AppDelegate::applyFocus(const PanelKeyMap::Focus& focus) {
    focus_.setShortcutsOpen(focus.shortcutsOpen);
    focus_.setOnFooter(focus.onFooter);
    focus_.setFooterRow(focus.footerRow);
    focus_.setIndex(focus.index);
    focus_.setOnboardingPage(focus.onboardingPage);
    focus_.setHintsOpen(focus.hintsOpen);
}

void AppDelegate::carryOut(const PanelKeyMap::Outcome& outcome, const QKeyEvent& event) {
    using Action = PanelKeyMap::Action;
    Household& model = household();
    const auto group = model.activeGroup();
    const auto focusedRoom = [&]() -> std::optional<Room> {
        const QList<Room> rooms = model.allRooms();
        const auto index = focus_.index();
        if (!index || *index < 0 || *index >= rooms.size())
            return std::nullopt;
        // The room as the group's snapshot holds it (its volume there).
        for (const Room& room : group ? group->rooms : QList<Room>())
            if (room.id == rooms[*index].id)
                return room;
        return rooms[*index];
    };
    switch (outcome.action) {
    case Action::none:
        break;
    case Action::stopRecording:
        hotKey_->setRecording(false);
        break;
    case Action::record:
        hotKey_->record(HotKey::pressOf(event));
        break;
    case Action::quit:
        QCoreApplication::quit();
        break;
    case Action::skip:
        if (group)
            Tasks::detach(model.skip(*group, outcome.value == 1), "skip from the keyboard");
        break;
    case Action::hideNow:
        hide(false);
        break;
    case Action::finishOnboarding:
        settings_.setBool(HouseholdKeys::onboarded, true);
        model.startNetwork();
        if (root_)
            root_->updateOnboarded();
        break;
    case Action::startRecording:
        hotKey_->setRecording(true);
        break;
    case Action::toggleVolumeKeys:
        footerSettings_->setVolumeKeys(!MediaKeys::enabled(settings_));
        break;
    case Action::toggleLogin:
        loginItem_.set(!loginItem_.enabled());
        break;
    case Action::openHealth:
        if (health_->onOpenWindow)
            health_->onOpenWindow();
        break;
    default:
        if (group)
            carryOutOnGroup(outcome, *group, focusedRoom());
        break;
    }
}

void AppDelegate::carryOutOnGroup(const PanelKeyMap::Outcome& outcome, const SpeakerGroup& group,
                                  const std::optional<Room>& room) {
    using Action = PanelKeyMap::Action;
    Household& model = household();
    switch (outcome.action) {
    case Action::togglePlay:
        Tasks::detach(model.togglePlay(group), "play or pause from the keyboard");
        break;
    case Action::joinAll:
        Tasks::detach(model.joinAll(), "gather every room from the keyboard");
        break;
    case Action::groupVolume:
        model.setVolume(group, outcome.value);
        break;
    case Action::roomVolume:
        if (room)
            model.setVolume(*room, outcome.value);
        break;
    case Action::setMember:
        if (room)
            Tasks::detach(model.setMember(*room, group, outcome.value == 1), "membership from the keyboard");
        break;
    case Action::selectGroup:
        model.selectGroup(outcome.value);
        break;
    case Action::applyPreset: {
        // The list is read again here: a preset removed meanwhile is not applied.
        const QList<RoomPreset> presets = model.presets();
        if (outcome.value < presets.size())
            Tasks::detach(model.apply(presets[outcome.value]), "preset from the keyboard");
        break;
    }
    default:
        break;
    }
}

void AppDelegate::migrateOnboarding() {
    if (onboarded())
        return;
    if (settings_.textList(HouseholdKeys::knownHosts).value_or(QStringList()).isEmpty())
        return;
    settings_.setBool(HouseholdKeys::onboarded, true);
    household().startNetwork();
}

void AppDelegate::scheduleFirstShow() {
    if (onboarded())
        return;
    Clock::schedule(firstLaunchShow, this, [this] {
        if (!isOpen_)
            show();
    });
}

bool AppDelegate::onboarded() const {
    return settings_.boolValue(HouseholdKeys::onboarded).value_or(false);
}

void AppDelegate::toggle() {
    if (isOpen_)
        hide(true);
    else
        show();
}

void AppDelegate::toggleFromKeyboard() {
    if (isOpen_)
        hide(false);
    else
        show();
}

void AppDelegate::reopen() {
    if (!isOpen_)
        show();
}

void AppDelegate::open(const QStringList& urls) {
    if (!onboarded()) {
        qCInfo(logApp) << "Ignoring" << urls.size() << "URL(s): onboarding has not finished";
        return;
    }
    for (const QString& url : urls) {
        const auto command = UrlCommands::parse(url);
        if (!command) {
            qCInfo(logApp) << "Ignoring" << forLog(url) << "- not a tamber:// URL";
            continue;
        }
        if (command->host == u"open") {
            if (!isOpen_)
                show();
        } else if (command->host == u"health") {
            openHealth();
        } else {
            Tasks::detach(UrlCommands::run(&household(), command->host, command->argument), "URL command");
        }
    }
}

void AppDelegate::openHealth() {
    hide(false);
    if (openHealthWindow)
        openHealthWindow();
    else
        qCInfo(logApp) << "The system-health window is not part of this build";
}

void AppDelegate::show() {
    isOpen_ = true;
    household().setVisible(true);
    focus_.setIndex(std::nullopt);
    focus_.setOnFooter(false);
    focus_.setShortcutsOpen(false);
    keyMonitor_ = true;
    Tasks::detach(household().refresh(), "refresh on showing the panel");
    if (checkHealthIfStale)
        checkHealthIfStale();
    fit(contentSize_);
    Clock::cancel(fadeTask_);
    fadeTask_ = 0;
    presence_.setShown(true, false);
    panel_->show();
    panel_->raise();
    panel_->activateWindow();
    clickMonitor_ = true;
    qCInfo(logApp) << "Panel shown at" << panel_->geometry();
}

void AppDelegate::hide(bool animated) {
    if (QWidget* editing = panel_->focusWidget())
        editing->clearFocus();
    isOpen_ = false;
    household().setVisible(false);
    if (endHotKeyRecording)
        endHotKeyRecording();
    clickMonitor_ = false;
    keyMonitor_ = false;
    if (animated) {
        presence_.setShown(false, true);
        Clock::cancel(fadeTask_);
        fadeTask_ = Clock::schedule(fadeOrderOut, this, [this] {
            fadeTask_ = 0;
            if (!isOpen_)
                panel_->hide();
        });
    } else {
        presence_.setShown(false, false);
        panel_->hide();
    }
}

void AppDelegate::fit(QSize size) {
    contentSize_ = size;
    if (!panel_ || size.height() <= 0)
        return;
    const QRect anchorRect = anchor();
    const QScreen* screen = QGuiApplication::screenAt(anchorRect.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect visible = screen ? screen->availableGeometry() : anchorRect;
    const QRect frame = PanelPlacement::frame(size, anchorRect, visible);
    const int generation = ++fitGeneration_;
    if (isOpen_ && panel_->isVisible() && panel_->height() - 1 > size.height()) {
        // Shrinking an open panel waits, so that a quick grow-again does not flicker.
        Clock::schedule(shrinkDelay, this, [this, generation, frame] {
            if (generation == fitGeneration_ && isOpen_)
                panel_->setGeometry(frame);
        });
        return;
    }
    panel_->setGeometry(frame);
    WindowWarmUp::prepare(panel_.get());
}

QRect AppDelegate::anchor() {
    if (tray_) {
        const QRect icon = tray_->geometry();
        if (!icon.isEmpty())
            return lastAnchor_ = icon;
        if (const auto click = tray_->lastClick())
            return lastAnchor_ = QRect(*click, QSize(1, 1));
    }
    if (!lastAnchor_.isEmpty())
        return lastAnchor_;
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {0, 0, 1, 1};
    const QRect area = screen->availableGeometry();
    return {area.x() + area.width() - 1, area.y(), 1, 1};
}

void AppDelegate::panelDeactivated() {
    if (!clickMonitor_ || !isOpen_)
        return;
    if (pickerOpen && pickerOpen())
        return;
    if (!onboarded() && household().allRooms().isEmpty())
        return;
    // A click on the tray icon is the icon's own: its toggle closes the panel.
    if (tray_) {
        const QRect icon = tray_->geometry();
        if (!icon.isEmpty() && icon.contains(QCursor::pos()))
            return;
    }
    hide(true);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && panel_) {
        // A click in the panel outside the text being edited ends the editing; the click
        // itself goes on to its target.
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        if (editor && editor->window() == panel_.get()) {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (!editor->rect().contains(editor->mapFromGlobal(press->globalPosition().toPoint())))
                editor->clearFocus();
        }
    } else if (event->type() == QEvent::KeyPress && keyMonitor_ && handleKey && watched->isWidgetType() &&
               static_cast<QWidget*>(watched)->window() == panel_.get()) {
        // Menus opened from the panel keep their keys.
        if (!QApplication::activePopupWidget() && handleKey(static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::terminate() {
    if (terminated_)
        return;
    terminated_ = true;
    if (RenderMode::active())
        return;
    if (household_) {
        qCInfo(logApp) << "Cancelling the event subscriptions";
        household_->events().stop();
    }
    flushSettings();
}

void AppDelegate::flushSettings() {
    settings_.flush();
}
