#pragma once

#include "SpeakerSimulator.h"

#include <QHash>
#include <QMutex>
#include <QSet>

namespace sim {

// Everything the simulator's servers and its test-facing API share, under one lock.
struct SimCore {
    mutable QMutex mutex;
    FakeHousehold household;
    QList<SimRequest> log;
    QHash<QPair<QString, QString>, Fault> faults;        // (host or "", action) -> fault
    QHash<QPair<QString, QString>, QList<Fault>> queued; // faults waiting behind the current one
    QHash<QPair<int, QString>, ActionHandler> actions;   // (Service, action) -> handler
    QHash<QByteArray, MethodHandler> methods;
    ChangeHook changeHook;
    ChangeHook genaHook;   // the GENA half's NOTIFY sender, besides any test's hook
    QSet<QString> closing; // hosts that close every connection after its answer

    // The fault that hits this request, counted; none when there is none. Locked by the caller.
    std::optional<Fault> takeFault(const QString& host, const QString& action);
};

// The speaker's standard actions (the reads the household polls and the simple setters).
void installStandardActions(QHash<QPair<int, QString>, ActionHandler>& table);
// Joining, leaving and handing over groups (SimGrouping.cpp); other SetAVTransportURI kinds go
// to the handler installed before.
void installGroupingActions(QHash<QPair<int, QString>, ActionHandler>& table);
// The household id and the offered update (SimHealth.cpp).
void installHealthActions(QHash<QPair<int, QString>, ActionHandler>& table);

} // namespace sim
