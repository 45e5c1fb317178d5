#pragma once

#include <QHash>
#include <QString>
#include <QtGlobal>

// When the household's reads of the speakers may start and when their results may be applied.
// Full refreshes may overlap: they are counted while they run, numbered as they start, and the
// result of one that started before the newest applied one is stale. Membership changes in
// flight make every read stale, and so does one that began after the read began (each change
// moves the generation on). Waits that debounce a burst (a re-read after events) act only while
// their ticket is the newest one for their purpose.
class RefreshSchedule {
public:
    // ---- full refreshes ----
    // What a refresh notes as it starts.
    struct Start {
        quint64 ticket = 0;
        int generation = 0;
    };
    Start started();
    // Counts a refresh as running, until `ended`.
    void began() { ++running_; }
    // True when the last running refresh ended and discovery asked for one meanwhile; the ask
    // is used up then.
    bool ended();
    int running() const { return running_; }
    // Discovery asks for a refresh. True when one may start at once; while refreshes run, the
    // ask is kept for after the last of them, and any number of asks make one refresh.
    bool ask();
    // The result of the refresh started as `start` is still current: no membership change in
    // flight or begun since, and no refresh that started later has applied.
    bool mayApply(const Start& start) const;
    void applied(const Start& start);

    // ---- membership changes ----
    void membershipBegan();
    // True when no other change is left in flight.
    bool membershipEnded();
    int pendingChanges() const { return pending_; }
    int generation() const { return generation_; }
    // No membership change in flight, and none began since the generation was `noted`.
    bool settledSince(int noted) const { return pending_ == 0 && generation_ == noted; }

    // What a re-read of one group notes as it starts; it may apply while `unchangedSince` holds:
    // no membership change began or is in flight, and no full refresh applied meanwhile (it
    // brought newer membership than the group read).
    struct Snapshot {
        int generation = 0;
        quint64 applied = 0;
    };
    Snapshot snapshot() const { return {generation_, applied_}; }
    bool unchangedSince(const Snapshot& snapshot) const;

    // ---- debounced waits ----
    enum class Wait {
        topology,    // the full refresh after topology events
        groupReread, // the re-read of one group (by coordinator) after its events
    };
    // A new ticket for the wait of `purpose` (and `id`); the ones before it are void.
    quint64 issue(Wait purpose, const QString& id = {});
    bool isNewest(Wait purpose, const QString& id, quint64 ticket) const;

private:
    int running_ = 0;
    bool askedMeanwhile_ = false;
    quint64 started_ = 0;
    quint64 newestApplied_ = 0; // the start number of the newest refresh that applied
    quint64 applied_ = 0;
    int pending_ = 0;
    int generation_ = 0;
    quint64 nextTicket_ = 0;
    QHash<QString, quint64> rereads_;
    quint64 topology_ = 0;
};
