#include "SimFavorites.h"

#include <memory>

namespace sim {

namespace {

const SoapReply invalidArgs = SoapReply::fault(QStringLiteral("402"));

std::optional<int> whole(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// Points the transport at the queue's track `track` (1-based), or at nothing for 0.
void select(TransportState& transport, int track) {
    transport.track = track;
    transport.relTime = QStringLiteral("0:00:00");
    if (track == 0) {
        transport.trackUri.clear();
        transport.trackMetaData.clear();
        transport.trackDuration = QStringLiteral("0:00:00");
        return;
    }
    const QueueItem& item = transport.queue[track - 1];
    transport.trackUri = item.uri;
    transport.trackMetaData = item.metaData;
    transport.trackDuration = item.duration;
}

bool playsQueue(const FakeSpeaker& speaker) {
    return speaker.transport.avTransportUri.startsWith(QLatin1String("x-rincon-queue:"));
}

} // namespace

QList<QueueItem> albumTracks(const QString& name, int count) {
    QList<QueueItem> tracks;
    for (int i = 1; i <= count; ++i) {
        const QString title = QStringLiteral("%1 %2").arg(name).arg(i);
        const QString uri = QStringLiteral("x-file-cifs://nas/%1/%2.flac").arg(name).arg(i);
        tracks.append({uri, trackMetaData(title, QStringLiteral("Artist"), name, uri)});
    }
    return tracks;
}

std::optional<SoapReply> setTransportSource(ActionContext& context) {
    const QString uri = context.arg(QStringLiteral("CurrentURI"));
    const QString meta = context.arg(QStringLiteral("CurrentURIMetaData"));
    FakeSpeaker& speaker = context.speaker;
    TransportState& transport = speaker.transport;
    if (uri.startsWith(QLatin1String("x-rincon:")))
        return std::nullopt;
    if (uri.isEmpty())
        return invalidArgs;
    if (uri.startsWith(QLatin1String("x-rincon-queue:"))) {
        // Only its own queue: "x-rincon-queue:<own uuid>#0".
        if (uri != QStringLiteral("x-rincon-queue:%1#0").arg(speaker.uuid))
            return invalidArgs;
        transport.avTransportUri = uri;
        transport.avTransportMetaData = meta;
        select(transport, transport.queue.isEmpty() ? 0 : 1);
    } else {
        transport.avTransportUri = uri;
        transport.avTransportMetaData = meta;
        transport.track = 0;
        transport.trackUri = uri;
        transport.trackMetaData = meta;
        transport.trackDuration = QStringLiteral("0:00:00");
        transport.relTime = QStringLiteral("0:00:00");
    }
    // A new source stops what played; Play starts it.
    transport.state = QStringLiteral("STOPPED");
    context.changed(speaker.uuid, Service::avTransport);
    return SoapReply::ok();
}

void installFavoritesActions(SpeakerSimulator& simulator, Containers containers) {
    auto known = std::make_shared<const Containers>(std::move(containers));

    simulator.setHandler(
        Service::avTransport, QStringLiteral("AddURIToQueue"), [known](ActionContext& context) {
            TransportState& transport = context.speaker.transport;
            const QString uri = context.arg(QStringLiteral("EnqueuedURI"));
            const auto desired = whole(context.arg(QStringLiteral("DesiredFirstTrackNumberEnqueued")));
            const int length = int(transport.queue.size());
            if (uri.isEmpty() || !desired || *desired < 0 || *desired > length + 1)
                return invalidArgs;
            QList<QueueItem> tracks = known->value(uri);
            if (tracks.isEmpty())
                tracks.append({uri, context.arg(QStringLiteral("EnqueuedURIMetaData"))});
            // 0 appends; a position inserts before the track there.
            const int first = *desired == 0 ? length + 1 : *desired;
            for (qsizetype i = 0; i < tracks.size(); ++i)
                transport.queue.insert(first - 1 + i, tracks[i]);
            if (transport.track >= first)
                transport.track += int(tracks.size());
            if (playsQueue(context.speaker))
                context.changed(context.speaker.uuid, Service::avTransport);
            return SoapReply::ok({{QStringLiteral("FirstTrackNumberEnqueued"), QString::number(first)},
                                  {QStringLiteral("NumTracksAdded"), QString::number(tracks.size())},
                                  {QStringLiteral("NewQueueLength"), QString::number(transport.queue.size())},
                                  {QStringLiteral("NewUpdateID"), QStringLiteral("1")}});
        });

    simulator.setHandler(
        Service::avTransport, QStringLiteral("RemoveTrackRangeFromQueue"), [](ActionContext& context) {
            TransportState& transport = context.speaker.transport;
            const auto start = whole(context.arg(QStringLiteral("StartingIndex")));
            const auto count = whole(context.arg(QStringLiteral("NumberOfTracks")));
            if (!start || !count || *start < 1 || *count < 0 || *start + *count - 1 > transport.queue.size())
                return invalidArgs;
            transport.queue.remove(*start - 1, *count);
            // The track playing keeps playing where it stands; a removed one leaves none.
            if (transport.track >= *start + *count)
                transport.track -= *count;
            else if (transport.track >= *start)
                select(transport, 0);
            if (playsQueue(context.speaker))
                context.changed(context.speaker.uuid, Service::avTransport);
            return SoapReply::ok({{QStringLiteral("NewUpdateID"), QStringLiteral("2")}});
        });

    // Joining a group ("x-rincon:") stays with the handler installed before, if any.
    const ActionHandler previous =
        simulator.handler(Service::avTransport, QStringLiteral("SetAVTransportURI"));
    simulator.setHandler(Service::avTransport, QStringLiteral("SetAVTransportURI"),
                         [previous](ActionContext& context) {
                             if (auto reply = setTransportSource(context))
                                 return *reply;
                             return previous ? previous(context) : invalidArgs;
                         });

    simulator.setHandler(
        Service::deviceProperties, QStringLiteral("SetZoneAttributes"), [](ActionContext& context) {
            const QString name = context.arg(QStringLiteral("DesiredZoneName"));
            if (name.isEmpty())
                return invalidArgs;
            FakeSpeaker& speaker = context.speaker;
            speaker.zoneName = name;
            speaker.room.icon = context.arg(QStringLiteral("DesiredIcon"));
            speaker.room.configuration = context.arg(QStringLiteral("DesiredConfiguration"));
            speaker.room.targetRoomName = context.arg(QStringLiteral("DesiredTargetRoomName"));
            context.changed(speaker.uuid, Service::zoneGroupTopology);
            return SoapReply::ok();
        });
}

} // namespace sim
