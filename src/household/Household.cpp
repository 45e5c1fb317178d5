#include "household/Household.h"

#include "core/Delays.h"
#include "core/Log.h"
#include "core/RenderMode.h"
#include "core/Tasks.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"

#include <QPointer>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace Keys = HouseholdKeys;

namespace {

// The handler of the senders' failures: the household's error text, while it lives.
VolumeSender::ErrorHandler showsFailures(Household* household) {
    return [self = QPointer<Household>(household)](std::exception_ptr failure) {
        if (self)
            self->setError(self->failureText(failure));
    };
}

} // namespace

Household::Household(SettingsStore& settings, SpeakerAccess access, QObject* parent)
    : QObject(parent), settings_(settings), senders_(showsFailures(this)), errorTimeout_(this),
      events_(std::make_unique<Events>()), access_(std::move(access)) {
    if (!access_.call)
        access_.call = &SOAP::call;
    if (!access_.interfaces)
        access_.interfaces = &Network::systemInterfaces;
    restore();
    QPointer<Household> self(this);
    discovery_ = std::make_unique<Discovery>(
        [self](QString host) {
            if (self)
                QMetaObject::invokeMethod(
                    self, [self, host] { self->found(host); }, Qt::QueuedConnection);
        },
        access_.browser);
    events_->onEvent = [self](const Events::Target& target, const Fields& fields) {
        if (self)
            self->handle(target, fields);
    };
    connect(events_.get(), &Events::subscriptionsChanged, this, &Household::updateSubscriptionsHealthy);
    if (settings_.boolValue(Keys::onboarded).value_or(false))
        startNetwork();
}

Household::Household(SettingsStore& settings, const QList<SpeakerGroup>& demo,
                     const QMap<QString, QString>& models, QObject* parent)
    : QObject(parent), settings_(settings), senders_(showsFailures(this)), errorTimeout_(this),
      events_(std::make_unique<Events>()), demo_(true) {
    access_.call = [](QString, Service, QString, SOAP::Arguments) -> QCoro::Task<Fields> {
        co_return Fields();
    };
    access_.interfaces = [] { return std::optional<QList<Network::InterfaceAddress>>(); };
    models_ = models;
    QStringList order;
    for (const SpeakerGroup& group : demo)
        for (const Room& room : group.rooms)
            order.append(room.id);
    roomOrder_ = RoomOrder(order);
    groups_.replace(demo);
    if (!demo.isEmpty())
        activeCoordinator_ = demo.first().coordinatorID;
}

Household::~Household() = default;

void Household::restore() {
    hosts_ = settings_.textList(Keys::knownHosts).value_or(QStringList());
    groupNames_ = settings_.textMap(Keys::groupNames).value_or(QMap<QString, QString>());
    models_ = settings_.textMap(Keys::roomModels).value_or(QMap<QString, QString>());
    roomOrder_ = RoomOrder(settings_.textList(Keys::roomOrder).value_or(QStringList()));
    if (const auto data = settings_.data(Keys::roomPresets))
        presets_ = PresetList(RoomPreset::decodeList(*data).value_or(QList<RoomPreset>()));
    if (RenderMode::active())
        return;
    const auto data = settings_.data(Keys::lastGroups);
    if (!data)
        return;
    auto stored = SpeakerGroup::decodeList(*data);
    if (!stored) {
        qCInfo(logHousehold) << "stored groups are unreadable; starting without them";
        return;
    }
    // The last known household shows at once, stopped, until the first refresh replaces it.
    const QDateTime now = Clock::now();
    for (SpeakerGroup& group : *stored) {
        group.state = u"STOPPED"_s;
        group.positionAt = now;
    }
    groups_.replace(*std::move(stored));
}

// Publishing.

void Household::setGroups(QList<SpeakerGroup> groups) {
    const GroupChanges changes = groups_.replace(std::move(groups));
    emit groupsChanged();
    if (!changes.isEmpty())
        emit groupsUpdated(changes);
}

void Household::changeGroup(const QString& id, const std::function<void(SpeakerGroup&)>& edit,
                            std::optional<ChangedValue> stamped) {
    std::optional<QList<SpeakerGroup>> changed = groups_.with(id, edit);
    if (!changed)
        return;
    if (stamped)
        changes_.stamp({*stamped, id});
    setGroups(*std::move(changed));
}

void Household::changeRoom(const QString& roomID, const std::function<void(SpeakerGroup&, Room&)>& edit,
                           std::optional<ChangedValue> stamped) {
    const auto at = groups_.roomIndex(roomID);
    if (!at)
        return;
    QList<SpeakerGroup> changed = groups_.list();
    SpeakerGroup& entry = changed[at->first];
    edit(entry, entry.rooms[at->second]);
    if (stamped)
        changes_.stamp({*stamped, entry.id});
    setGroups(std::move(changed));
}

void Household::showFailure(std::exception_ptr failure) {
    setError(failure ? std::optional<QString>(failureText(failure)) : std::nullopt);
}

void Household::setLive(bool live) {
    if (live_ == live)
        return;
    live_ = live;
    emit liveChanged();
}

void Household::setApplyingPreset(bool applying) {
    if (applyingPreset_ == applying)
        return;
    applyingPreset_ = applying;
    emit applyingPresetChanged();
}

void Household::setVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    emit visibleChanged();
}

void Household::updateSubscriptionsHealthy() {
    const bool healthy = events_->healthy();
    if (subscriptionsHealthy_ == healthy)
        return;
    subscriptionsHealthy_ = healthy;
    emit subscriptionsHealthyChanged();
}

void Household::setActiveCoordinator(std::optional<QString> coordinator) {
    activeCoordinator_ = std::move(coordinator);
    emit activeCoordinatorChanged();
}

void Household::setModels(QMap<QString, QString> models) {
    models_ = std::move(models);
    emit modelsChanged();
}

void Household::setError(const std::optional<QString>& text) {
    errorFromRefresh_ = false;
    error_ = text;
    errorTimeout_.stop();
    if (error_) {
        QPointer<Household> self(this);
        errorTimeout_.start(Delays::errorClear, [self] {
            if (self)
                self->setError(std::nullopt);
        });
    }
    emit errorChanged();
}

// Start-up and discovery.

void Household::startNetwork() {
    if (networkStarted_ || demo_)
        return;
    networkStarted_ = true;
    if (discovery_)
        discovery_->start();
    events_->start();
    Tasks::detach(refresh(), "first refresh");
}

void Household::found(const QString& host) {
    if (hosts_.contains(host))
        return;
    hosts_.prepend(host);
    settings_.setTextList(Keys::knownHosts, hosts_);
    if (!groups_.isEmpty() && live_)
        return;
    // Discovery reports many hosts at once at a first start: while a refresh runs, they all
    // lead to one more refresh after it, not to one each.
    if (!schedule_.ask())
        return;
    Tasks::detach(refresh(), "refresh after a new host");
}

// Derived values.

bool Household::isPlaying(const QString& state) {
    return state == "PLAYING"_L1 || state == "TRANSITIONING"_L1;
}

QList<Room> Household::allRooms() const {
    QList<Room> rooms;
    for (const SpeakerGroup& group : groups_.list())
        rooms.append(group.rooms);
    roomOrder_.sortRooms(rooms);
    return rooms;
}

std::optional<SpeakerGroup> Household::activeGroup() const {
    if (groups_.isEmpty())
        return std::nullopt;
    if (activeCoordinator_)
        if (auto group = groups_.ledBy(*activeCoordinator_))
            return group;
    return groups_.list().first();
}

bool Household::anyPlaying() const {
    return std::any_of(groups_.list().cbegin(), groups_.list().cend(),
                       [](const SpeakerGroup& group) { return isPlaying(group.state); });
}

QString Household::displayName(const SpeakerGroup& group) const {
    if (group.rooms.size() == 1)
        return group.rooms.first().name;
    const auto custom = groupNames_.constFind(group.memberKey());
    if (custom != groupNames_.cend())
        return *custom;
    return group.coordinator().name + " + "_L1 + QString::number(group.rooms.size() - 1);
}

void Household::selectGroup(const SpeakerGroup& group) {
    setActiveCoordinator(group.coordinatorID);
    pickedByUser_ = true;
}

// What the event subscriber needs of the groups.
QList<GroupAddresses> Household::addresses() const {
    QList<GroupAddresses> out;
    out.reserve(groups_.list().size());
    for (const SpeakerGroup& group : groups_.list()) {
        const Room coordinator = group.coordinator();
        GroupAddresses entry{.coordinator = {coordinator.id, coordinator.host}, .rooms = {}};
        for (const Room& room : group.rooms)
            entry.rooms.append({room.id, room.host});
        out.append(entry);
    }
    return out;
}

void Household::storeGroups() {
    // A group that cannot be written (a time that is not a finite number) leaves the last
    // good snapshot in place.
    if (const auto data = SpeakerGroup::encodeList(groups_.list()))
        settings_.setData(Keys::lastGroups, *data);
    else
        qCWarning(logHousehold) << "groups not stored: a value cannot be written";
}
