#include "household/GroupStateRules.h"
#include "household/Household.h"
#include "household/HouseholdTexts.h"
#include "protocol/Network.h"
#include "protocol/Service.h"
#include "protocol/Soap.h"
#include "protocol/SonosError.h"
#include "protocol/SpeakerModel.h"
#include "protocol/TopologyParser.h"
#include "protocol/TransportError.h"

using namespace Qt::StringLiterals;

// The household's reads from the real speakers.

QCoro::Task<std::optional<QString>> Household::zoneGroupState(QString host) {
    const Fields reply = co_await SOAP::call(host, Service::zoneGroupTopology, u"GetZoneGroupState"_s, {});
    const auto state = reply.constFind(u"ZoneGroupState"_s);
    co_return state == reply.cend() ? std::nullopt : std::optional<QString>(*state);
}

QCoro::Task<QList<SpeakerGroup>> Household::readTopology(QString host) {
    const std::optional<QString> state = co_await zoneGroupState(std::move(host));
    co_return state ? groupsOf(*state) : QList<SpeakerGroup>();
}

QList<SpeakerGroup> Household::groupsOf(const QString& topology) {
    return groupsOf(TopologyParser::parse(topology));
}

QList<SpeakerGroup> Household::groupsOf(const QList<TopologyParser::Group>& topology) {
    QList<SpeakerGroup> groups;
    for (const TopologyParser::Group& raw : topology) {
        if (raw.members.isEmpty())
            continue;
        SpeakerGroup group{.id = raw.id, .coordinatorID = raw.coordinator, .rooms = {}};
        for (const TopologyParser::Member& member : raw.members)
            group.rooms.append(Room{
                .id = member.uuid, .name = member.name, .host = member.host, .volume = 0, .muted = false});
        groups.append(std::move(group));
    }
    return groups;
}

QCoro::Task<SpeakerGroup> Household::loadState(SpeakerGroup group) {
    co_return co_await GroupStatePoll::load(std::move(group), std::make_shared<PollHosts>());
}

QCoro::Task<std::optional<bool>> Household::eq(QString host, QString type) {
    co_return co_await GroupStatePoll::eq(nullptr, std::move(host), std::move(type));
}

std::optional<double> Household::seconds(const std::optional<QString>& text) {
    return GroupStateRules::seconds(text);
}

QString Household::failureText(std::exception_ptr failure) const {
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const TransportError&) {
        const auto interfaces = access_.interfaces();
        return interfaces && Network::vpnActiveIn(*interfaces) ? HouseholdTexts::unreachableVpn()
                                                               : HouseholdTexts::unreachable();
    } catch (const SonosError& error) {
        return error.errorDescription.value_or(QString());
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
    }
    return HouseholdTexts::unreachable();
}

std::optional<QString> Household::speakerErrorCode(const std::exception_ptr& failure) {
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const SonosError& error) {
        return error.code;
    } catch (...) {
    }
    return std::nullopt;
}

std::exception_ptr Household::unusableReply(const QString& host) {
    return std::make_exception_ptr(
        TransportError(QNetworkReply::UnknownContentError, u"no usable topology from "_s + host));
}

QCoro::Task<std::optional<QString>> Household::modelOf(QString host) {
    co_return co_await SpeakerModel::fetch(host);
}
