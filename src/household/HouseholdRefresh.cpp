#include "core/Log.h"
#include "core/Tasks.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "household/HouseholdTexts.h"
#include "platform/SettingsStore.h"
#include "protocol/Soap.h"
#include "protocol/TopologyParser.h"

#include <QPointer>

#include <vector>

using namespace Qt::StringLiterals;

// Counts a refresh as running for as long as it lives, on every way out; when the last one
// ends, the refresh that discovery asked for meanwhile starts.
class Household::RunningRefresh {
public:
    explicit RunningRefresh(Household* household) : household_(household) { household->schedule_.began(); }
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
    if (!schedule_.ended())
        return;
    // Only while it is still needed: the refresh that just ended may have read everything.
    if (groups_.isEmpty() || !live_)
        QMetaObject::invokeMethod(
            this, [this] { Tasks::detach(refresh(), "refresh asked for meanwhile"); }, Qt::QueuedConnection);
}

Household::TopologyRead Household::topologyRead(const QString& topology) {
    TopologyParser::Document document = TopologyParser::read(topology);
    return TopologyRead{groupsOf(document.groups), std::move(document.bootSeqs)};
}

QCoro::Task<Household::TopologyRead> Household::topologyOf(QString host) {
    if (const TopologyReader reader = access_.topology) {
        // Awaited apart: g++ 12 mishandles a co_await inside an initializer list.
        QCoro::Task<QList<SpeakerGroup>> reading = reader(std::move(host));
        QList<SpeakerGroup> groups = co_await std::move(reading);
        co_return TopologyRead{std::move(groups), {}};
    }
    const std::optional<QString> state = co_await zoneGroupState(std::move(host));
    if (!state)
        co_return TopologyRead{};
    co_return topologyRead(*state);
}

// The most recently found host first; the first usable answer wins. A household too large for
// the control reply (the speakers answer "501") is read from the first event of a topology
// subscription instead. The caller checks that the household is still there.
QCoro::Task<Household::TopologyOutcome> Household::readTopologyOf(QStringList hosts) {
    QPointer<Household> self(this);
    TopologyOutcome outcome;
    bool beyondLimit = false;
    for (const QString& host : hosts) {
        try {
            TopologyRead read = co_await topologyOf(host);
            if (!self)
                co_return outcome;
            if (!read.groups.isEmpty()) {
                outcome.read = std::move(read);
                co_return outcome;
            }
            outcome.lastFailure = unusableReply(host);
        } catch (...) {
            outcome.lastFailure = std::current_exception();
            beyondLimit = beyondLimit || speakerErrorCode(outcome.lastFailure) == u"501"_s;
        }
        if (!self)
            co_return outcome;
    }
    if (beyondLimit)
        outcome.read = co_await topologyFromEvents(hosts);
    co_return outcome;
}

QCoro::Task<std::optional<Household::TopologyRead>> Household::topologyFromEvents(QStringList hosts) {
    QPointer<Household> self(this);
    for (const QString& host : hosts) {
        const std::optional<QString> document = co_await events_->readTopology(host);
        if (!self)
            co_return std::nullopt;
        if (!document)
            continue;
        if (TopologyRead read = topologyRead(*document); !read.groups.isEmpty())
            co_return read;
    }
    co_return std::nullopt;
}

void Household::refreshFailed(std::exception_ptr lastFailure) {
    ++failedRefreshes_;
    qCInfo(logHousehold) << "refresh failed" << failedRefreshes_
                         << "time(s) in a row:" << failureText(lastFailure);
    // A household that was working shows its last state through two failures in a row.
    if (!groups_.isEmpty() && live_ && failedRefreshes_ < 3)
        return;
    setError(failureText(lastFailure));
    errorFromRefresh_ = true;
}

void Household::refreshSucceeded() {
    failedRefreshes_ = 0;
    setLive(true);
    if (errorFromRefresh_ && error_ &&
        (*error_ == HouseholdTexts::searching() || *error_ == HouseholdTexts::unreachable() ||
         *error_ == HouseholdTexts::unreachableVpn()))
        setError(std::nullopt);
}

// Every group is read at once, each starting from what is shown of it, so that a read that
// fails keeps the last known value; the results keep the topology's order.
QCoro::Task<QList<SpeakerGroup>> Household::pollAll(QList<SpeakerGroup> groups,
                                                    std::shared_ptr<PollHosts> hosts) {
    std::vector<QCoro::Task<SpeakerGroup>> polls;
    polls.reserve(static_cast<std::size_t>(groups.size()));
    for (const SpeakerGroup& group : groups)
        polls.push_back(pollOne(groups_.seeded(group), hosts));
    QList<SpeakerGroup> polled = groups;
    for (std::size_t i = 0; i < polls.size(); ++i)
        polled[static_cast<qsizetype>(i)] = co_await std::move(polls[i]);
    co_return polled;
}

QCoro::Task<void> Household::refresh() {
    // The demo household shows its demo data and what its operations made of it.
    if (demo_)
        co_return;
    QPointer<Household> self(this);
    const RunningRefresh running(this);
    const RefreshSchedule::Start start = schedule_.started();
    const QStringList hosts = hosts_;
    if (hosts.isEmpty()) {
        ++failedRefreshes_;
        setError(HouseholdTexts::searching());
        errorFromRefresh_ = true;
        co_return;
    }

    TopologyOutcome topology = co_await readTopologyOf(hosts);
    if (!self)
        co_return;
    if (!topology.read) {
        refreshFailed(topology.lastFailure);
        co_return;
    }
    const TopologyRead fresh = *std::move(topology.read);

    QList<Room> rooms;
    for (const SpeakerGroup& group : fresh.groups)
        rooms.append(group.rooms);
    fetchModels(rooms);

    const quint64 changesBefore = changes_.changes();
    const auto pollHosts = std::make_shared<PollHosts>();
    const QList<SpeakerGroup> polled = co_await pollAll(fresh.groups, pollHosts);
    if (!self)
        co_return;
    refreshSucceeded();

    // A membership change during the refresh makes its result stale, and so does a refresh
    // that started later and has applied already.
    if (!schedule_.mayApply(start))
        co_return;
    schedule_.applied(start);
    applyGroups(polled, changesBefore);
    events_->sync(addresses());
    resubscribeReturned(fresh.bootSeqs, *pollHosts);
    storeGroups();
}

void Household::resubscribeReturned(const QHash<QString, qint64>& bootSeqs, const PollHosts& hosts) {
    const QSet<QString> again = returns_.afterRefresh(bootSeqs, hosts.silent, hosts.answered, groups_.list());
    for (const QString& uuid : again) {
        qCInfo(logHousehold) << "speaker" << uuid << "is back; its subscriptions are made anew";
        events_->resubscribe(uuid);
    }
}

QCoro::Task<void> Household::run(std::function<QCoro::Task<void>()> operation) {
    QPointer<Household> self(this);
    std::exception_ptr failure;
    try {
        co_await operation();
    } catch (...) {
        failure = std::current_exception();
    }
    if (self)
        showFailure(failure);
}

QCoro::Task<void> Household::refreshAfter(std::chrono::milliseconds delay,
                                          std::function<bool()> stillWanted) {
    QPointer<Household> self(this);
    co_await Clock::sleep(delay);
    if (!self || (stillWanted && !stillWanted()))
        co_return;
    co_await refresh();
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
    QCoro::Task<SpeakerGroup> polling = GroupStatePoll::load(std::move(group), std::move(hosts));
    co_return co_await std::move(polling);
}
