#include "health/HealthCheck.h"

#include "core/Clock.h"
#include "core/RenderMode.h"
#include "core/Tasks.h"
#include "health/Diagnosis.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "platform/SettingsStore.h"

#include <QCollator>

#include <algorithm>
#include <vector>

namespace {

const QString memoryKey = QStringLiteral("healthKnownSpeakers");

} // namespace

HealthCheck::HealthCheck(Household* household, SettingsStore& settings, Probes probes, QObject* parent)
    : QObject(parent), household_(household), settings_(settings), probes_(std::move(probes)) {
    if (!probes_.system)
        probes_.system = [](QStringList hosts) { return Probe::system(std::move(hosts)); };
    if (!probes_.speaker)
        probes_.speaker = [](QString host) { return Probe::speaker(std::move(host)); };
    if (!probes_.update)
        probes_.update = [](QString host) { return Probe::update(std::move(host)); };
    if (!probes_.mac)
        probes_.mac = [](bool deep) { return Probe::mac(deep); };
    // A stored value of any other shape is an empty memory, which the next check overwrites.
    known_ = settings_.textMaps(memoryKey).value_or(Memory{});
}

void HealthCheck::checkIfStale() {
    if (RenderMode::active())
        return;
    if (!settings_.boolValue(HouseholdKeys::onboarded).value_or(false))
        return;
    if (checking_)
        return;
    // A report from "the future" (the wall clock was set back) is not fresh.
    if (report_ && !report_->speakers.isEmpty()) {
        const qint64 age = report_->checkedAt.secsTo(Clock::now());
        if (age >= 0 && age < freshSeconds)
            return;
    }
    Tasks::detach(check(false), "health check when stale");
}

QStringList HealthCheck::hostsToAsk(const QStringList& roomHosts, const QStringList& knownHosts,
                                    const Memory& memory) {
    QStringList hosts = roomHosts;
    for (const QString& host : knownHosts)
        if (!hosts.contains(host))
            hosts.append(host);
    for (const auto& fields : memory) {
        const auto host = fields.constFind(QStringLiteral("host"));
        if (host != fields.cend() && !hosts.contains(*host))
            hosts.append(*host);
    }
    return hosts;
}

QList<QPair<QString, QMap<QString, QString>>>
HealthCheck::missing(const Memory& memory, const QString& household, const QSet<QString>& listed) {
    QList<QPair<QString, QMap<QString, QString>>> out;
    for (auto it = memory.cbegin(); it != memory.cend(); ++it) {
        if (listed.contains(it.key()) || it->isEmpty())
            continue;
        const auto stored = it->constFind(QStringLiteral("household"));
        if (stored == it->cend() || *stored != household)
            continue;
        out.append({it.key(), *it});
    }
    return out;
}

namespace {

// The speakers a check reports on: those of the topology (the first per id, in document
// order), then the remembered speakers of the same household that the topology no longer
// lists. Vanished devices rename speakers already listed; they never add one.
QList<HealthSpeaker> listedSpeakers(const std::optional<Probe::System>& system,
                                    const std::optional<QString>& household,
                                    const HealthCheck::Memory& known) {
    QList<HealthSpeaker> speakers;
    QHash<QString, qsizetype> index;
    if (system) {
        for (const HealthTopologyParser::Device& device : system->topology.devices) {
            if (index.contains(device.uuid))
                continue;
            index.insert(device.uuid, speakers.size());
            speakers.append(Health::speakerFromTopology(device.attributes, device.uuid));
        }
    }
    if (household) {
        const QSet<QString> listed(index.keyBegin(), index.keyEnd());
        for (const auto& [id, fields] : HealthCheck::missing(known, *household, listed)) {
            HealthSpeaker speaker;
            speaker.id = id;
            speaker.name = fields.value(QStringLiteral("name"), id);
            if (fields.contains(QStringLiteral("model")))
                speaker.model = fields.value(QStringLiteral("model"));
            speaker.host = fields.value(QStringLiteral("host"));
            speaker.link = HealthLink::unknown;
            speaker.inSystem = false;
            speaker.reachable = false;
            index.insert(id, speakers.size());
            speakers.append(speaker);
        }
    }
    if (!system)
        return speakers;
    for (const HealthTopologyParser::Device& device : system->topology.vanished) {
        const auto at = index.constFind(device.uuid);
        const auto name = device.attributes.constFind(QStringLiteral("ZoneName"));
        if (at != index.cend() && name != device.attributes.cend())
            speakers[*at].name = *name;
    }
    return speakers;
}

// Takes the probe answers (by position in `speakers`) into the speakers; a model the answer
// lacks comes from the household's models.
void mergeAnswers(QList<HealthSpeaker>& speakers, const QHash<qsizetype, Probe::Answer>& answers,
                  const QMap<QString, QString>& models) {
    for (qsizetype i = 0; i < speakers.size(); ++i) {
        HealthSpeaker& speaker = speakers[i];
        if (const auto answer = answers.constFind(i); answer != answers.cend()) {
            speaker.reachable = true;
            speaker.latency = answer->latency;
            speaker.displayVersion = answer->displayVersion;
            if (!speaker.version)
                speaker.version = answer->version;
            if (answer->model)
                speaker.model = answer->model;
        }
        if (!speaker.model && models.contains(speaker.id))
            speaker.model = models.value(speaker.id);
    }
}

// Where a run of digits (or of other characters) starting at `from` ends.
qsizetype runEnd(const QString& text, qsizetype from, bool digits) {
    const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    while (from < text.size() && isDigit(text[from]) == digits)
        ++from;
    return from;
}

// Two runs of digits by their value: without leading zeros the longer run is the larger number.
int compareNumbers(QStringView a, QStringView b) {
    const auto withoutZeros = [](QStringView run) {
        qsizetype zeros = 0;
        while (zeros + 1 < run.size() && run[zeros] == QLatin1Char('0'))
            ++zeros;
        return run.sliced(zeros);
    };
    const QStringView va = withoutZeros(a);
    const QStringView vb = withoutZeros(b);
    return va.size() != vb.size() ? (va.size() < vb.size() ? -1 : 1) : va.compare(vb);
}

} // namespace

int HealthCheck::compareNames(const QString& a, const QString& b) {
    // Runs of digits compare by their value, the text between them by the locale's order
    // without regard to case: "Bad 2" before "Bad 10", as in a file list. Done by hand, since
    // the collator's numeric mode depends on how Qt was built.
    static thread_local QCollator collator = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        const bool digitsA = isDigit(a[i]);
        const bool digitsB = isDigit(b[j]);
        const qsizetype endA = runEnd(a, i, digitsA);
        const qsizetype endB = runEnd(b, j, digitsB);
        const QStringView runA = QStringView(a).sliced(i, endA - i);
        const QStringView runB = QStringView(b).sliced(j, endB - j);
        // The same text is the same in every order: the collator, which takes far longer, is
        // asked only about runs that differ.
        const int order = digitsA && digitsB ? compareNumbers(runA, runB)
                          : runA == runB     ? 0
                                             : collator.compare(runA, runB);
        if (order != 0)
            return order < 0 ? -1 : 1;
        i = endA;
        j = endB;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

void HealthCheck::sortSpeakers(QList<HealthSpeaker>& speakers) {
    std::stable_sort(speakers.begin(), speakers.end(), [&](const HealthSpeaker& a, const HealthSpeaker& b) {
        const int byName = compareNames(a.name, b.name);
        if (byName != 0)
            return byName < 0;
        return a.model.value_or(QString()) < b.model.value_or(QString());
    });
}

QCoro::Task<void> HealthCheck::check(bool deep) {
    if (checking_)
        co_return;
    setChecking(true);
    forgottenDuringCheck_.clear();
    QPointer<HealthCheck> self(this);

    QList<Room> rooms;
    QMap<QString, QString> models;
    if (household_) {
        rooms = household_->allRooms();
        models = household_->models();
    }
    QStringList roomHosts;
    for (const Room& room : rooms)
        roomHosts.append(room.host);
    const QStringList hosts =
        hostsToAsk(roomHosts, settings_.textList(HouseholdKeys::knownHosts).value_or(QStringList{}), known_);
    const std::optional<bool> keptNAT = report_ ? report_->mac.doubleNAT : std::nullopt;
    const std::optional<HealthReport> previous = report_;

    QCoro::Task<MacNetwork> macProbe = probes_.mac(deep);
    const std::optional<Probe::System> system = co_await probes_.system(hosts);
    if (!self)
        co_return;

    const std::optional<QString> household = system ? system->household : std::nullopt;
    std::optional<HealthUpdate> previousUpdate;
    if (previous && previous->household && household && *previous->household == *household)
        previousUpdate = previous->update;
    const bool ask = deep && system.has_value();
    std::optional<QCoro::Task<std::optional<HealthUpdate>>> updateProbe;
    if (ask)
        updateProbe.emplace(probes_.update(system->host));

    QList<HealthSpeaker> speakers = listedSpeakers(system, household, known_);

    // Every speaker with a host at once.
    std::vector<std::pair<qsizetype, QCoro::Task<std::optional<Probe::Answer>>>> probes;
    for (qsizetype i = 0; i < speakers.size(); ++i)
        if (!speakers[i].host.isEmpty())
            probes.emplace_back(i, probes_.speaker(speakers[i].host));
    QHash<qsizetype, Probe::Answer> answers;
    for (auto& [i, task] : probes)
        if (std::optional<Probe::Answer> answer = co_await std::move(task))
            answers.insert(i, *answer);
    if (!self)
        co_return;

    mergeAnswers(speakers, answers, models);

    remember(speakers, household);

    MacNetwork mac = co_await std::move(macProbe);
    if (!self)
        co_return;
    if (!deep)
        mac.doubleNAT = keptNAT;

    sortSpeakers(speakers);

    std::optional<HealthUpdate> update = previousUpdate;
    if (updateProbe) {
        update = co_await std::move(*updateProbe);
        if (!self)
            co_return;
    }

    // A speaker forgotten while this check ran stays out of its report.
    speakers.removeIf([&](const HealthSpeaker& s) { return forgottenDuringCheck_.contains(s.id); });
    forgottenDuringCheck_.clear();

    HealthReport report;
    report.issues = Diagnosis::issues(speakers, mac, update);
    report.speakers = std::move(speakers);
    report.mac = mac;
    report.update = update;
    report.checkedAt = Clock::now();
    report.household = household;
    publish(std::move(report));
    setChecking(false);
}

void HealthCheck::remember(const QList<HealthSpeaker>& speakers, const std::optional<QString>& household) {
    bool changed = false;
    for (const HealthSpeaker& speaker : speakers) {
        if (!speaker.inSystem || forgottenDuringCheck_.contains(speaker.id))
            continue;
        QMap<QString, QString> fields;
        const auto put = [&](const QString& key, const QString& value) {
            if (!value.isEmpty())
                fields.insert(key, value);
        };
        put(QStringLiteral("name"), speaker.name);
        put(QStringLiteral("host"), speaker.host);
        put(QStringLiteral("model"), speaker.model.value_or(QString()));
        put(QStringLiteral("household"), household.value_or(QString()));
        // Whole: a field now empty is gone.
        if (const auto kept = known_.constFind(speaker.id); kept == known_.cend() || *kept != fields) {
            known_.insert(speaker.id, fields);
            changed = true;
        }
    }
    // Most checks find the speakers as they were: the memory is written out only when it changed.
    if (changed)
        storeMemory();
}

void HealthCheck::forget(const QString& id) {
    known_.remove(id);
    storeMemory();
    if (checking_)
        forgottenDuringCheck_.insert(id);
    if (!report_)
        return;
    HealthReport changed = *report_;
    changed.speakers.removeIf([&](const HealthSpeaker& s) { return s.id == id; });
    changed.issues = Diagnosis::issues(changed.speakers, changed.mac, changed.update);
    publish(std::move(changed));
}

void HealthCheck::storeMemory() {
    settings_.setTextMaps(memoryKey, known_);
}

void HealthCheck::setChecking(bool on) {
    checking_ = on;
    emit checkingChanged();
}

void HealthCheck::publish(HealthReport report) {
    report_ = std::move(report);
    emit reportChanged();
}
