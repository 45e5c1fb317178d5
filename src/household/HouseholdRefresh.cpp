#include "core/Log.h"
#include "core/Tasks.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "household/HouseholdTexts.h"
#include "platform/SettingsStore.h"
#include "protocol/Soap.h"
#include "protocol/SonosError.h"
#include "protocol/TopologyParser.h"

#include <QPointer>

using namespace Qt::StringLiterals;

#include <vector>

namespace {

// The speaker answered the topology read with the failure the speakers give for a household
// beyond the size of which they still send the topology as a control reply.
bool beyondTopologyLimit(const std::exception_ptr& failure) {
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const SonosError& error) {
        return error.code == QStringLiteral("501");
    } catch (...) {
    }
    return false;
}

} // namespace

// Counts a refresh as running for as long as it lives, on every way out; when the last one
// ends, the refresh that discovery asked for meanwhile starts.
class Household::RunningRefresh {
public:
    explicit RunningRefresh(Household* household) : household_(household) { ++household->refreshesRunning_; }
    ~RunningRefresh() {
        if (household_)
            household_->refreshEnded();
    }
    RunningRefresh(const RunningRefresh&) = delete;
    RunningRefresh& operator=(const RunningRefresh&) = delete;

private:
    QPointer<Household> household_;
};

void Household::refreshEnded() {
    if (--refreshesRunning_ > 0 || !refreshAfterRunning_)
        return;
    refreshAfterRunning_ = false;
    // Only while it is still needed: the refresh that just ended may have read everything.
    if (groups_.isEmpty() || !live_)
        QMetaObject::invokeMethod(
            this, [this] { Tasks::detach(refresh(), "refresh asked for meanwhile"); }, Qt::QueuedConnection);
}

QCoro::Task<Household::TopologyRead> Household::topologyOf(QString host) {
    if (const TopologyReader reader = access_.topology) {
        // Awaited apart: g++ 12 mishandles a co_await inside an initializer list.
        QCoro::Task<QList<SpeakerGroup>> reading = reader(std::move(host));
        QList<SpeakerGroup> groups = co_await std::move(reading);
        co_return TopologyRead{std::move(groups), {}};
    }
    const Fields reply = co_await SOAP::call(host, Service::zoneGroupTopology, u"GetZoneGroupState"_s, {});
    const auto state = reply.constFind(u"ZoneGroupState"_s);
    if (state == reply.cend())
        co_return TopologyRead{};
    co_return TopologyRead{groupsOf(*state), TopologyParser::bootSeqs(*state)};
}

// Above the complexity limit until the household is split into parts with their own state.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
QCoro::Task<void> Household::refresh() {
    // The demo household shows its demo data and what its operations made of it.
    if (demo_)
        co_return;
    QPointer<Household> self(this);
    const RunningRefresh running(this);
    const quint64 ticket = ++refreshesStarted_;
    const int startGeneration = generation_;
    const QStringList hosts = hosts_;
    if (hosts.isEmpty()) {
        ++failedRefreshes_;
        setError(HouseholdTexts::searching());
        errorFromRefresh_ = true;
        co_return;
    }

    // The most recently found host first; the first usable answer wins.
    std::optional<TopologyRead> fresh;
    std::exception_ptr lastFailure;
    bool beyondLimit = false;
    for (const QString& host : hosts) {
        try {
            TopologyRead read = co_await topologyOf(host);
            if (!self)
                co_return;
            if (read.groups.isEmpty()) {
                lastFailure = unusableReply(host);
                continue;
            }
            fresh = std::move(read);
            break;
        } catch (...) {
            lastFailure = std::current_exception();
            beyondLimit = beyondLimit || beyondTopologyLimit(lastFailure);
        }
        if (!self)
            co_return;
    }
    // A household too large for the control reply: the same document comes with the first
    // event of a topology subscription.
    if (!fresh && beyondLimit) {
        for (const QString& host : hosts) {
            const std::optional<QString> document = co_await events_->readTopology(host);
            if (!self)
                co_return;
            if (!document)
                continue;
            if (QList<SpeakerGroup> groups = groupsOf(*document); !groups.isEmpty()) {
                fresh = TopologyRead{std::move(groups), TopologyParser::bootSeqs(*document)};
                break;
            }
        }
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
    for (const SpeakerGroup& group : fresh->groups)
        rooms.append(group.rooms);
    fetchModels(rooms);

    // Every group is read at once, each starting from what is shown of it, so that a read that
    // fails keeps the last known value; the results keep the topology's order.
    const quint64 changesBefore = changeCount_;
    const auto pollHosts = std::make_shared<PollHosts>();
    std::vector<QCoro::Task<SpeakerGroup>> polls;
    polls.reserve(fresh->groups.size());
    for (const SpeakerGroup& group : fresh->groups)
        polls.push_back(pollOne(seeded(group), pollHosts));
    QList<SpeakerGroup> polled = fresh->groups;
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

    // A membership change during the refresh makes its result stale, and so does a refresh
    // that started later and has applied already.
    if (pendingChanges_ != 0 || generation_ != startGeneration || ticket < newestApplied_)
        co_return;
    newestApplied_ = ticket;
    ++refreshesApplied_;
    applyGroups(polled, changesBefore);
    events_->sync(addresses());
    resubscribeReturned(fresh->bootSeqs, *pollHosts);
    storeGroups();
}

void Household::resubscribeReturned(const QHash<QString, qint64>& bootSeqs, const PollHosts& hosts) {
    // A speaker that restarted since the last refresh, or that gave no answer before and
    // answers again, may hold none of its subscriptions while they look alive here.
    QSet<QString> again;
    for (auto seq = bootSeqs.cbegin(); seq != bootSeqs.cend(); ++seq) {
        const auto known = bootSeqs_.constFind(seq.key());
        if (known != bootSeqs_.cend() && *known != *seq)
            again.insert(seq.key());
        bootSeqs_.insert(seq.key(), *seq);
    }
    for (const SpeakerGroup& group : std::as_const(groups_))
        for (const Room& room : group.rooms) {
            if (hosts.silent.contains(room.host))
                silentHosts_.insert(room.host);
            else if (hosts.answered.contains(room.host) && silentHosts_.remove(room.host))
                again.insert(room.id);
        }
    for (const QString& uuid : std::as_const(again)) {
        qCInfo(logHousehold) << "speaker" << uuid << "is back; its subscriptions are made anew";
        events_->resubscribe(uuid);
    }
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

QCoro::Task<SpeakerGroup> Household::pollOne(SpeakerGroup group, std::shared_ptr<PollHosts> hosts) {
    const Poller poller = access_.poll;
    if (poller)
        co_return co_await poller(std::move(group));
    // Made apart from the co_await: g++ 12 mishandles a conditional expression inside one.
    if (!hosts)
        hosts = std::make_shared<PollHosts>();
    QCoro::Task<SpeakerGroup> polling = loadState(std::move(group), std::move(hosts));
    co_return co_await std::move(polling);
}
