#pragma once

#include "household/Household.h"
#include "platform/SettingsStore.h"

#include <QTemporaryDir>

#include <memory>

// Reaches into a household's working state for tests: what the operations of other parts
// write (stamps, membership counters) and the private steps driven directly.
struct HouseholdProbe {
    Household& h;

    QHash<ChangeKey, Clock::Instant>& recentlyChanged() { return h.changes_.stamps(); }
    const QHash<SenderKey, std::shared_ptr<VolumeSender>>& volumeSenders() const { return h.senders_.all(); }
    int pendingChanges() const { return h.schedule_.pendingChanges(); }
    int generation() const { return h.schedule_.generation(); }
    RefreshSchedule& schedule() { return h.schedule_; }
    bool& live() { return h.live_; }
    int failedRefreshes() const { return h.failedRefreshes_; }
    const QHash<QString, QString>& lastTrack() const { return h.lastTrack_; }
    bool& pickedByUser() { return h.pickedByUser_; }
    const QSet<QString>& fetchingModels() const { return h.fetchingModels_; }
    int refreshesRunning() const { return h.schedule_.running(); }

    void setGroups(QList<SpeakerGroup> groups) { h.setGroups(std::move(groups)); }
    void setActive(const QString& coordinator) { h.setActiveCoordinator(coordinator); }
    void apply(const QList<SpeakerGroup>& fresh) { h.applyGroups(fresh); }
    void found(const QString& host) { h.found(host); }
    void handle(const Events::Target& target, const Fields& fields) { h.handle(target, fields); }
    void reload(const QString& coordinator) { h.reload(coordinator); }
    void pickActiveGroup() { h.pickActiveGroup(); }
    QCoro::Task<void> run(std::function<QCoro::Task<void>()> operation) {
        return h.run(std::move(operation));
    }
};

// A settings store in a private folder of its own.
struct TempSettings {
    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store =
        std::make_unique<SettingsStore>(dir.path() + QStringLiteral("/settings.json"));
    SettingsStore& operator*() { return *store; }
    SettingsStore* operator->() { return store.get(); }
    // A fresh store over the same file, as after a restart.
    void reopen() {
        store.reset(); // writes what is pending
        store = std::make_unique<SettingsStore>(dir.path() + QStringLiteral("/settings.json"));
    }
};
