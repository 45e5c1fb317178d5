#include "core/Log.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "household/HouseholdTexts.h"
#include "platform/SettingsStore.h"

#include <QPointer>

#include <vector>

// Above the complexity limit until the household is split into parts with their own state.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
QCoro::Task<void> Household::refresh() {
    // The demo household shows its demo data and what its operations made of it.
    if (demo_)
        co_return;
    QPointer<Household> self(this);
    const int startGeneration = generation_;
    const QStringList hosts = hosts_;
    const TopologyReader reader = access_.topology;
    if (hosts.isEmpty()) {
        ++failedRefreshes_;
        setError(HouseholdTexts::searching());
        errorFromRefresh_ = true;
        co_return;
    }

    // The most recently found host first; the first usable answer wins.
    std::optional<QList<SpeakerGroup>> fresh;
    std::exception_ptr lastFailure;
    for (const QString& host : hosts) {
        try {
            // The task is made first and awaited apart: g++ 12 mishandles a conditional
            // expression inside co_await.
            QCoro::Task<QList<SpeakerGroup>> reading = reader ? reader(host) : readTopology(host);
            QList<SpeakerGroup> groups = co_await std::move(reading);
            if (!self)
                co_return;
            if (groups.isEmpty()) {
                lastFailure = unusableReply(host);
                continue;
            }
            fresh = std::move(groups);
            break;
        } catch (...) {
            lastFailure = std::current_exception();
        }
        if (!self)
            co_return;
    }

    if (!fresh) {
        ++failedRefreshes_;
        qCInfo(logHousehold) << "refresh failed" << failedRefreshes_
                             << "time(s) in a row:" << failureText(lastFailure);
        // A household that was working shows its last state through two failures in a row.
        if (!groups_.isEmpty() && live_ && failedRefreshes_ < 3)
            co_return;
        setError(failureText(lastFailure));
        errorFromRefresh_ = true;
        co_return;
    }

    QList<Room> rooms;
    for (const SpeakerGroup& group : *fresh)
        rooms.append(group.rooms);
    fetchModels(rooms);

    // Every group is read at once; the results keep the topology's order.
    std::vector<QCoro::Task<SpeakerGroup>> polls;
    polls.reserve(fresh->size());
    for (const SpeakerGroup& group : *fresh)
        polls.push_back(pollOne(group));
    QList<SpeakerGroup> polled = *fresh;
    for (std::size_t i = 0; i < polls.size(); ++i)
        polled[static_cast<qsizetype>(i)] = co_await std::move(polls[i]);
    if (!self)
        co_return;

    failedRefreshes_ = 0;
    setLive(true);
    if (errorFromRefresh_ && error_ &&
        (*error_ == HouseholdTexts::searching() || *error_ == HouseholdTexts::unreachable() ||
         *error_ == HouseholdTexts::unreachableVpn()))
        setError(std::nullopt);

    // A membership change during the refresh makes its result stale.
    if (pendingChanges_ != 0 || generation_ != startGeneration)
        co_return;
    applyGroups(polled);
    events_->sync(addresses());
    storeGroups();
}

QCoro::Task<void> Household::run(std::function<QCoro::Task<void>()> operation) {
    QPointer<Household> self(this);
    try {
        co_await operation();
    } catch (...) {
        if (self)
            setError(failureText(std::current_exception()));
        co_return;
    }
    if (self)
        setError(std::nullopt);
}

void Household::fetchModels(const QList<Room>& rooms) {
    for (const Room& room : rooms) {
        if (models_.contains(room.id) || fetchingModels_.contains(room.id))
            continue;
        fetchingModels_.insert(room.id);
        lookUpModel(room);
    }
}

QCoro::Task<void> Household::lookUpModel(Room room) {
    QPointer<Household> self(this);
    const ModelReader reader = access_.model;
    QCoro::Task<std::optional<QString>> lookup = reader ? reader(room.host) : modelOf(room.host);
    const std::optional<QString> model = co_await std::move(lookup);
    if (!self)
        co_return;
    if (model) {
        QMap<QString, QString> models = models_;
        models.insert(room.id, *model);
        setModels(std::move(models));
        settings_.setTextMap(HouseholdKeys::roomModels, models_);
    }
    // A failed lookup is tried again by the next refresh.
    fetchingModels_.remove(room.id);
}

QCoro::Task<SpeakerGroup> Household::pollOne(SpeakerGroup group) {
    const Poller poller = access_.poll;
    if (poller)
        co_return co_await poller(std::move(group));
    co_return co_await loadState(std::move(group));
}
