// Grouping on the fake speakers: joining another speaker's group through SetAVTransportURI
// with an "x-rincon:" URI, leaving into a group of one's own, and handing a group's
// coordination to another member. Each change of the topology is reported as a topology
// change of the speaker that was asked, which the GENA half turns into a NOTIFY.
#include "SimCore.h"

#include <atomic>

namespace sim {

namespace {

const QString rincon = QStringLiteral("x-rincon:");

// Group ids as speakers give them, "<coordinator uuid>:<number>", never used twice.
QString freshGroupID(const QString& coordinator) {
    static std::atomic<int> next{1000};
    return coordinator + QLatin1Char(':') + QString::number(next++);
}

// A speaker that stops leading anything: no source, nothing playing.
void clearTransport(FakeSpeaker& speaker) {
    speaker.transport = TransportState{};
}

// Takes `uuid` out of its group. When it led a group that others stay in, the first of them
// leads on with the playback handed over, under a new group id.
void detach(FakeHousehold& household, const QString& uuid) {
    FakeGroup* group = household.groupOf(uuid);
    if (!group)
        return;
    group->members.removeAll(uuid);
    if (group->members.isEmpty()) {
        household.groups.removeIf([&](const FakeGroup& g) { return g.id == group->id; });
        return;
    }
    if (group->coordinator != uuid)
        return;
    group->coordinator = group->members.first();
    group->id = freshGroupID(group->coordinator);
    const FakeSpeaker* old = household.speakerByUuid(uuid);
    if (FakeSpeaker* lead = household.speakerByUuid(group->coordinator); lead && old)
        lead->transport = old->transport;
}

// The speaker alone in a new group of its own, with nothing to play.
void standalone(FakeHousehold& household, FakeSpeaker& speaker) {
    detach(household, speaker.uuid);
    household.groups.append({freshGroupID(speaker.uuid), speaker.uuid, {speaker.uuid}});
    clearTransport(speaker);
}

SoapReply join(ActionContext& context, const QString& coordinator) {
    FakeHousehold& household = context.household;
    FakeSpeaker& speaker = context.speaker;
    FakeGroup* target = household.groupOf(coordinator);
    // Joining oneself, or a speaker that leads no group: the speaker refuses the arguments.
    if (coordinator == speaker.uuid || !target || target->coordinator != coordinator)
        return SoapReply::fault(QStringLiteral("402"));
    if (!target->members.contains(speaker.uuid)) {
        const QString targetID = target->id;
        detach(household, speaker.uuid);
        // The target may have moved in the list when the speaker's old group went away.
        for (FakeGroup& group : household.groups)
            if (group.id == targetID)
                group.members.append(speaker.uuid);
        clearTransport(speaker);
        context.changed(speaker.uuid, Service::zoneGroupTopology);
    }
    speaker.transport.avTransportUri = rincon + coordinator;
    context.changed(speaker.uuid, Service::avTransport);
    return SoapReply::ok();
}

} // namespace

void installGroupingActions(QHash<QPair<int, QString>, ActionHandler>& table) {
    const auto setUri = qMakePair(int(Service::avTransport), QStringLiteral("SetAVTransportURI"));
    // Other kinds of URI (favourites, the queue) stay with whatever handled them before.
    const ActionHandler previous = table.value(setUri);
    table.insert(setUri, [previous](ActionContext& context) {
        const QString uri = context.arg(QStringLiteral("CurrentURI"));
        if (uri.startsWith(rincon))
            return join(context, uri.mid(rincon.size()));
        if (previous)
            return previous(context);
        // A plain speaker takes any other URI as its source.
        context.speaker.transport.avTransportUri = uri;
        context.speaker.transport.avTransportMetaData = context.arg(QStringLiteral("CurrentURIMetaData"));
        context.changed(context.speaker.uuid, Service::avTransport);
        return SoapReply::ok();
    });

    table.insert(qMakePair(int(Service::avTransport), QStringLiteral("BecomeCoordinatorOfStandaloneGroup")),
                 [](ActionContext& context) {
                     const FakeGroup* group = context.household.groupOf(context.speaker.uuid);
                     // Already alone: nothing changes.
                     if (group && group->members.size() == 1)
                         return SoapReply::ok();
                     standalone(context.household, context.speaker);
                     context.changed(context.speaker.uuid, Service::zoneGroupTopology);
                     return SoapReply::ok();
                 });

    table.insert(qMakePair(int(Service::avTransport), QStringLiteral("DelegateGroupCoordinationTo")),
                 [](ActionContext& context) {
                     FakeHousehold& household = context.household;
                     FakeSpeaker& speaker = context.speaker;
                     const QString next = context.arg(QStringLiteral("NewCoordinator"));
                     FakeGroup* group = household.groupOf(speaker.uuid);
                     FakeSpeaker* lead = household.speakerByUuid(next);
                     // Only a group's coordinator delegates, and only to another member of its group.
                     if (!group || group->coordinator != speaker.uuid || next == speaker.uuid || !lead ||
                         !group->members.contains(next))
                         return SoapReply::fault(QStringLiteral("402"));
                     group->coordinator = next;
                     group->id = freshGroupID(next);
                     lead->transport = speaker.transport;
                     if (context.arg(QStringLiteral("RejoinGroup")) == QLatin1String("1")) {
                         clearTransport(speaker);
                         speaker.transport.avTransportUri = rincon + next;
                     } else {
                         standalone(household, speaker);
                     }
                     context.changed(speaker.uuid, Service::zoneGroupTopology);
                     return SoapReply::ok();
                 });
}

} // namespace sim
