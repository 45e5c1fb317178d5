#pragma once

#include "health/HealthReport.h"
#include "health/Probe.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

class Household;
class SettingsStore;

// The network health check: gathers the hosts to ask, runs the probes, merges their answers,
// remembers the speakers it saw, rates the findings and publishes one report. Main thread.
class HealthCheck : public QObject {
    Q_OBJECT
public:
    // Remembered speakers: id -> fields "name", "host", "model", "household" (empty ones left
    // out), in ascending id order.
    using Memory = QMap<QString, QMap<QString, QString>>;

    // Where a check gets its findings; an empty entry means the real probe.
    struct Probes {
        std::function<QCoro::Task<std::optional<Probe::System>>(QStringList)> system;
        std::function<QCoro::Task<std::optional<Probe::Answer>>(QString)> speaker;
        std::function<QCoro::Task<std::optional<HealthUpdate>>(QString)> update;
        std::function<QCoro::Task<MacNetwork>(bool)> mac;
    };

    HealthCheck(Household* household, SettingsStore& settings, Probes probes = {}, QObject* parent = nullptr);

    const std::optional<HealthReport>& report() const { return report_; }
    bool checking() const { return checking_; }
    const Memory& known() const { return known_; }

    // Set by the application shell; they do nothing until then.
    std::function<void()> onOpenWindow = [] {};
    std::function<void()> onReport = [] {};

    // Starts a quick check unless render mode is on, onboarding is not finished, a check is
    // running, or the report has speakers and is younger than 600 s.
    void checkIfStale();
    // One check; a request while another runs is dropped. Never fails.
    QCoro::Task<void> check(bool deep);
    // Forgets a remembered speaker and takes it out of the published report.
    void forget(const QString& id);

    // The remembered entries of `household` that the topology does not list, in memory order.
    static QList<QPair<QString, QMap<QString, QString>>>
    missing(const Memory& memory, const QString& household, const QSet<QString>& listed);
    // Hosts to ask: room hosts in order, then known hosts, then remembered hosts, each once.
    static QStringList hostsToAsk(const QStringList& roomHosts, const QStringList& knownHosts,
                                  const Memory& memory);
    // Stable sort by name (numbers by value, the locale's order, case ignored), then model.
    static void sortSpeakers(QList<HealthSpeaker>& speakers);
    // The name order of that sort: negative, zero or positive.
    static int compareNames(const QString& a, const QString& b);

    static constexpr qint64 freshSeconds = 600;

signals:
    void reportChanged();
    void checkingChanged();

private:
    void setChecking(bool on);
    void publish(HealthReport report);
    void remember(const QList<HealthSpeaker>& speakers, const std::optional<QString>& household);
    void storeMemory();

    QPointer<Household> household_;
    SettingsStore& settings_;
    Probes probes_;
    std::optional<HealthReport> report_;
    bool checking_ = false;
    Memory known_;
    // Ids forgotten while a check runs: that check must not bring them back.
    QSet<QString> forgottenDuringCheck_;
};
