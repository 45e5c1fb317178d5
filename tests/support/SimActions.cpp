// The standard actions of a fake speaker: the state reads the household polls and the setters
// that only change state. Grouping, queue and favourite playback are added by the tests that
// need them through SpeakerSimulator::setHandler.
#include "SimCore.h"

#include <algorithm>

namespace sim {

namespace {

QString flag(bool value) {
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

// The members of the speaker's group (the speaker alone when it is in none).
QList<FakeSpeaker*> groupMembers(ActionContext& context) {
    QList<FakeSpeaker*> members;
    if (const FakeGroup* group = context.household.groupOf(context.speaker.uuid)) {
        for (const QString& uuid : group->members)
            if (FakeSpeaker* member = context.household.speakerByUuid(uuid))
                members.append(member);
    }
    if (members.isEmpty())
        members.append(&context.speaker);
    return members;
}

int groupVolume(const QList<FakeSpeaker*>& members) {
    int sum = 0;
    for (const FakeSpeaker* member : members)
        sum += member->room.volume;
    return members.isEmpty() ? 0 : (sum + int(members.size()) / 2) / int(members.size());
}

void changedGroupVolume(ActionContext& context) {
    if (const FakeGroup* group = context.household.groupOf(context.speaker.uuid))
        context.changed(group->coordinator, Service::groupRenderingControl);
}

// A whole number within [low, high], or nothing.
std::optional<int> number(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<bool> boolean(const QString& text) {
    if (text == QLatin1String("1") || text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("0") || text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

void add(QHash<QPair<int, QString>, ActionHandler>& table, Service service, const char* action,
         ActionHandler handler) {
    table.insert(qMakePair(int(service), QString::fromLatin1(action)), std::move(handler));
}

} // namespace

void installStandardActions(QHash<QPair<int, QString>, ActionHandler>& table) {
    const SoapReply invalidArgs = SoapReply::fault(QStringLiteral("402"));

    // Topology.
    add(table, Service::zoneGroupTopology, "GetZoneGroupState", [](ActionContext& context) {
        return SoapReply::ok({{QStringLiteral("ZoneGroupState"), zoneGroupState(context.household)}});
    });

    // Transport.
    add(table, Service::avTransport, "GetTransportInfo", [](ActionContext& context) {
        return SoapReply::ok({{QStringLiteral("CurrentTransportState"), context.speaker.transport.state},
                              {QStringLiteral("CurrentTransportStatus"), QStringLiteral("OK")},
                              {QStringLiteral("CurrentSpeed"), QStringLiteral("1")}});
    });
    add(table, Service::avTransport, "GetPositionInfo", [](ActionContext& context) {
        const TransportState& transport = context.speaker.transport;
        return SoapReply::ok({{QStringLiteral("Track"), QString::number(transport.track)},
                              {QStringLiteral("TrackDuration"), transport.trackDuration},
                              {QStringLiteral("TrackMetaData"), transport.trackMetaData},
                              {QStringLiteral("TrackURI"), transport.trackUri},
                              {QStringLiteral("RelTime"), transport.relTime},
                              {QStringLiteral("AbsTime"), QStringLiteral("NOT_IMPLEMENTED")},
                              {QStringLiteral("RelCount"), QStringLiteral("2147483647")},
                              {QStringLiteral("AbsCount"), QStringLiteral("2147483647")}});
    });
    add(table, Service::avTransport, "GetRemainingSleepTimerDuration", [](ActionContext& context) {
        return SoapReply::ok(
            {{QStringLiteral("RemainingSleepTimerDuration"), context.speaker.transport.sleepTimer},
             {QStringLiteral("CurrentSleepTimerGeneration"), QStringLiteral("1")}});
    });
    add(table, Service::avTransport, "Play", [](ActionContext& context) {
        TransportState& transport = context.speaker.transport;
        // Nothing to play: the speaker's "transition not available".
        if (transport.avTransportUri.isEmpty() && transport.trackUri.isEmpty() && transport.queue.isEmpty())
            return SoapReply::fault(QStringLiteral("701"));
        if (transport.trackUri.isEmpty() && !transport.queue.isEmpty())
            transport.select(1);
        transport.state = QStringLiteral("PLAYING");
        context.changed(context.speaker.uuid, Service::avTransport);
        return SoapReply::ok();
    });
    add(table, Service::avTransport, "Pause", [](ActionContext& context) {
        context.speaker.transport.state = QStringLiteral("PAUSED_PLAYBACK");
        context.changed(context.speaker.uuid, Service::avTransport);
        return SoapReply::ok();
    });
    add(table, Service::avTransport, "Seek", [invalidArgs](ActionContext& context) {
        TransportState& transport = context.speaker.transport;
        const QString unit = context.arg(QStringLiteral("Unit"));
        const QString target = context.arg(QStringLiteral("Target"));
        if (unit == QLatin1String("REL_TIME")) {
            transport.relTime = target;
        } else if (unit == QLatin1String("TRACK_NR")) {
            const auto track = number(target, 1, int(transport.queue.size()));
            if (!track)
                return SoapReply::fault(QStringLiteral("711"));
            transport.select(*track);
        } else {
            return invalidArgs;
        }
        context.changed(context.speaker.uuid, Service::avTransport);
        return SoapReply::ok();
    });
    add(table, Service::avTransport, "ConfigureSleepTimer", [](ActionContext& context) {
        context.speaker.transport.sleepTimer = context.arg(QStringLiteral("NewSleepTimerDuration"));
        context.changed(context.speaker.uuid, Service::avTransport);
        return SoapReply::ok();
    });

    // Room volume and sound.
    add(table, Service::renderingControl, "GetVolume", [](ActionContext& context) {
        return SoapReply::ok(
            {{QStringLiteral("CurrentVolume"), QString::number(context.speaker.room.volume)}});
    });
    add(table, Service::renderingControl, "GetMute", [](ActionContext& context) {
        return SoapReply::ok({{QStringLiteral("CurrentMute"), flag(context.speaker.room.mute)}});
    });
    add(table, Service::renderingControl, "SetVolume", [invalidArgs](ActionContext& context) {
        const auto volume = number(context.arg(QStringLiteral("DesiredVolume")), 0, 100);
        if (!volume)
            return invalidArgs;
        context.speaker.room.volume = *volume;
        context.changed(context.speaker.uuid, Service::renderingControl);
        changedGroupVolume(context);
        return SoapReply::ok();
    });
    add(table, Service::renderingControl, "SetMute", [invalidArgs](ActionContext& context) {
        const auto mute = boolean(context.arg(QStringLiteral("DesiredMute")));
        if (!mute)
            return invalidArgs;
        context.speaker.room.mute = *mute;
        context.changed(context.speaker.uuid, Service::renderingControl);
        changedGroupVolume(context);
        return SoapReply::ok();
    });
    add(table, Service::renderingControl, "GetEQ", [invalidArgs](ActionContext& context) {
        const QString type = context.arg(QStringLiteral("EQType"));
        if (!context.speaker.tv)
            return invalidArgs;
        if (type == QLatin1String("NightMode"))
            return SoapReply::ok({{QStringLiteral("CurrentValue"), flag(context.speaker.room.nightMode)}});
        if (type == QLatin1String("DialogLevel"))
            return SoapReply::ok({{QStringLiteral("CurrentValue"), flag(context.speaker.room.dialogLevel)}});
        return invalidArgs;
    });
    add(table, Service::renderingControl, "SetEQ", [invalidArgs](ActionContext& context) {
        const QString type = context.arg(QStringLiteral("EQType"));
        const auto value = boolean(context.arg(QStringLiteral("DesiredValue")));
        if (!context.speaker.tv || !value)
            return invalidArgs;
        if (type == QLatin1String("NightMode"))
            context.speaker.room.nightMode = *value;
        else if (type == QLatin1String("DialogLevel"))
            context.speaker.room.dialogLevel = *value;
        else
            return invalidArgs;
        context.changed(context.speaker.uuid, Service::renderingControl);
        return SoapReply::ok();
    });
    add(table, Service::renderingControl, "GetBass", [](ActionContext& context) {
        return SoapReply::ok({{QStringLiteral("CurrentBass"), QString::number(context.speaker.room.bass)}});
    });
    add(table, Service::renderingControl, "GetTreble", [](ActionContext& context) {
        return SoapReply::ok(
            {{QStringLiteral("CurrentTreble"), QString::number(context.speaker.room.treble)}});
    });
    add(table, Service::renderingControl, "GetLoudness", [](ActionContext& context) {
        return SoapReply::ok({{QStringLiteral("CurrentLoudness"), flag(context.speaker.room.loudness)}});
    });
    add(table, Service::renderingControl, "SetBass", [invalidArgs](ActionContext& context) {
        const auto value = number(context.arg(QStringLiteral("DesiredBass")), -10, 10);
        if (!value)
            return invalidArgs;
        context.speaker.room.bass = *value;
        context.changed(context.speaker.uuid, Service::renderingControl);
        return SoapReply::ok();
    });
    add(table, Service::renderingControl, "SetTreble", [invalidArgs](ActionContext& context) {
        const auto value = number(context.arg(QStringLiteral("DesiredTreble")), -10, 10);
        if (!value)
            return invalidArgs;
        context.speaker.room.treble = *value;
        context.changed(context.speaker.uuid, Service::renderingControl);
        return SoapReply::ok();
    });
    add(table, Service::renderingControl, "SetLoudness", [invalidArgs](ActionContext& context) {
        const auto value = boolean(context.arg(QStringLiteral("DesiredLoudness")));
        if (!value)
            return invalidArgs;
        context.speaker.room.loudness = *value;
        context.changed(context.speaker.uuid, Service::renderingControl);
        return SoapReply::ok();
    });

    // Group volume: the mean of the members, scaled as a whole.
    add(table, Service::groupRenderingControl, "GetGroupVolume", [](ActionContext& context) {
        return SoapReply::ok(
            {{QStringLiteral("CurrentVolume"), QString::number(groupVolume(groupMembers(context)))}});
    });
    add(table, Service::groupRenderingControl, "GetGroupMute", [](ActionContext& context) {
        const auto members = groupMembers(context);
        const bool all = std::all_of(members.cbegin(), members.cend(), [](auto* m) { return m->room.mute; });
        return SoapReply::ok({{QStringLiteral("CurrentMute"), flag(all)}});
    });
    add(table, Service::groupRenderingControl, "SnapshotGroupVolume",
        [](ActionContext&) { return SoapReply::ok(); });
    add(table, Service::groupRenderingControl, "SetGroupVolume", [invalidArgs](ActionContext& context) {
        const auto target = number(context.arg(QStringLiteral("DesiredVolume")), 0, 100);
        if (!target)
            return invalidArgs;
        const auto members = groupMembers(context);
        const int current = groupVolume(members);
        for (FakeSpeaker* member : members) {
            member->room.volume =
                current == 0 ? *target : std::clamp(member->room.volume * *target / current, 0, 100);
            context.changed(member->uuid, Service::renderingControl);
        }
        context.changed(context.speaker.uuid, Service::groupRenderingControl);
        return SoapReply::ok();
    });
    add(table, Service::groupRenderingControl, "SetGroupMute", [invalidArgs](ActionContext& context) {
        const auto mute = boolean(context.arg(QStringLiteral("DesiredMute")));
        if (!mute)
            return invalidArgs;
        for (FakeSpeaker* member : groupMembers(context)) {
            member->room.mute = *mute;
            context.changed(member->uuid, Service::renderingControl);
        }
        context.changed(context.speaker.uuid, Service::groupRenderingControl);
        return SoapReply::ok();
    });

    // Device properties.
    add(table, Service::deviceProperties, "GetZoneInfo", [](ActionContext& context) {
        return SoapReply::ok({{QStringLiteral("SerialNumber"), QStringLiteral("00-00-00-00-00-00:0")},
                              {QStringLiteral("SoftwareVersion"), QStringLiteral("80.1-55240")},
                              {QStringLiteral("HTAudioIn"), context.speaker.room.htAudioIn}});
    });
    add(table, Service::deviceProperties, "GetZoneAttributes", [](ActionContext& context) {
        const RoomState& room = context.speaker.room;
        return SoapReply::ok({{QStringLiteral("CurrentZoneName"), context.speaker.zoneName},
                              {QStringLiteral("CurrentIcon"), room.icon},
                              {QStringLiteral("CurrentConfiguration"), room.configuration},
                              {QStringLiteral("CurrentTargetRoomName"), room.targetRoomName}});
    });

    // Favourites.
    add(table, Service::contentDirectory, "Browse", [invalidArgs](ActionContext& context) {
        if (context.arg(QStringLiteral("ObjectID")) != QLatin1String("FV:2"))
            return SoapReply::fault(QStringLiteral("701"));
        const QList<FakeFavorite>& all = context.household.favorites;
        const int start = number(context.arg(QStringLiteral("StartingIndex")), 0, 1 << 30).value_or(0);
        int count = number(context.arg(QStringLiteral("RequestedCount")), 0, 1 << 30).value_or(0);
        if (count == 0)
            count = int(all.size());
        const QList<FakeFavorite> page = all.mid(start, count);
        return SoapReply::ok({{QStringLiteral("Result"), favoritesDidl(page)},
                              {QStringLiteral("NumberReturned"), QString::number(page.size())},
                              {QStringLiteral("TotalMatches"), QString::number(all.size())},
                              {QStringLiteral("UpdateID"), QStringLiteral("1")}});
    });
}

} // namespace sim
