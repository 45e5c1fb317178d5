#include "household/GroupStatePoll.h"

#include "core/Clock.h"
#include "household/GroupStateRules.h"
#include "protocol/TransportError.h"

using namespace Qt::StringLiterals;

namespace {

const SOAP::Arguments instanceArgs{{u"InstanceID"_s, u"0"_s}};
const SOAP::Arguments channelArgs{{u"InstanceID"_s, u"0"_s}, {u"Channel"_s, u"Master"_s}};

} // namespace

// One action whose failure is no error here: nothing when the speaker gave no answer or
// answered with a failure. Polling reports nothing and retries nothing. A host that gave no
// answer is not asked again within the same poll: each further request would wait out its
// whole time-out again.
QCoro::Task<std::optional<Fields>> GroupStatePoll::tryCall(std::shared_ptr<Hosts> hosts, QString host,
                                                           Service service, QString action,
                                                           SOAP::Arguments args) {
    if (hosts && hosts->silent.contains(host))
        co_return std::nullopt;
    try {
        Fields reply = co_await SOAP::call(host, service, std::move(action), std::move(args));
        if (hosts)
            hosts->answered.insert(host);
        co_return reply;
    } catch (const TransportError&) {
        if (hosts)
            hosts->silent.insert(host);
    } catch (...) {
        if (hosts)
            hosts->answered.insert(host);
    }
    co_return std::nullopt;
}

QCoro::Task<std::optional<bool>> GroupStatePoll::eq(std::shared_ptr<Hosts> hosts, QString host,
                                                    QString type) {
    const SOAP::Arguments args{{u"InstanceID"_s, u"0"_s}, {u"EQType"_s, std::move(type)}};
    const std::optional<Fields> reply = co_await tryCall(
        std::move(hosts), std::move(host), Service::renderingControl, QStringLiteral("GetEQ"), args);
    if (!reply || !reply->contains(u"CurrentValue"_s))
        co_return std::nullopt;
    co_return reply->value(u"CurrentValue"_s) == "1"_L1;
}

QCoro::Task<SpeakerGroup> GroupStatePoll::load(SpeakerGroup group, std::shared_ptr<Hosts> hosts) {
    SpeakerGroup g = std::move(group);
    const QString coordinatorHost = g.coordinator().host;

    // 1. Transport state.
    if (const auto reply = co_await tryCall(hosts, coordinatorHost, Service::avTransport,
                                            u"GetTransportInfo"_s, instanceArgs))
        g.state = reply->value(u"CurrentTransportState"_s, u"STOPPED"_s);

    // 2. Track, source kind, links and times.
    const std::optional<Fields> position =
        co_await tryCall(hosts, coordinatorHost, Service::avTransport, u"GetPositionInfo"_s, instanceArgs);
    if (position)
        GroupStateRules::applyPosition(g, *position, Clock::now());

    // 3. TV input: format and sound settings of the TV speaker. With no position reply the
    // group's earlier word on the source decides, and the coordinator stands in as TV speaker.
    if (g.viaTV) {
        const QString tvHost =
            GroupStateRules::tvHost(g, position ? position->value(u"TrackURI"_s) : QString());
        g.tvHost = tvHost;
        if (const auto reply =
                co_await tryCall(hosts, tvHost, Service::deviceProperties, u"GetZoneInfo"_s, {}))
            g.tvFormat = GroupStateRules::decimalInteger(reply->value(u"HTAudioIn"_s));
        g.nightMode = co_await eq(hosts, tvHost, u"NightMode"_s);
        g.speechBoost = co_await eq(hosts, tvHost, u"DialogLevel"_s);
    }

    // 4. Sleep timer; its moment is taken even when no timer runs.
    if (const auto reply = co_await tryCall(hosts, coordinatorHost, Service::avTransport,
                                            u"GetRemainingSleepTimerDuration"_s, instanceArgs)) {
        const auto remaining = reply->find(u"RemainingSleepTimerDuration"_s);
        g.sleepRemaining = remaining == reply->cend() ? std::nullopt : GroupStateRules::seconds(*remaining);
        g.sleepAt = Clock::now();
    }

    // 5. Title, artist and artwork, from the metadata of the position reply; a TV input has none.
    if (!g.viaTV && position && position->contains(u"TrackMetaData"_s))
        GroupStateRules::applyMetadata(g, position->value(u"TrackMetaData"_s));

    // 6, 7. Group volume and mute.
    if (const auto reply = co_await tryCall(hosts, coordinatorHost, Service::groupRenderingControl,
                                            u"GetGroupVolume"_s, instanceArgs))
        g.volume = GroupStateRules::volume(*reply);
    if (const auto reply = co_await tryCall(hosts, coordinatorHost, Service::groupRenderingControl,
                                            u"GetGroupMute"_s, instanceArgs))
        g.muted = GroupStateRules::muted(*reply);

    // 8. Every room's own volume and mute, room by room.
    for (Room& room : g.rooms) {
        if (const auto reply =
                co_await tryCall(hosts, room.host, Service::renderingControl, u"GetVolume"_s, channelArgs))
            room.volume = GroupStateRules::volume(*reply);
        if (const auto reply =
                co_await tryCall(hosts, room.host, Service::renderingControl, u"GetMute"_s, channelArgs))
            room.muted = GroupStateRules::muted(*reply);
    }

    co_return g;
}
