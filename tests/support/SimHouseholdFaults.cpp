#include "SimHouseholdFaults.h"

#include "SimGena.h"

namespace sim {

namespace {

// Every request a speaker may get: the control actions (by name) and the event paths.
const QStringList everyRequest = {
    QStringLiteral("GetZoneGroupState"),
    QStringLiteral("GetTransportInfo"),
    QStringLiteral("GetPositionInfo"),
    QStringLiteral("GetRemainingSleepTimerDuration"),
    QStringLiteral("GetZoneInfo"),
    QStringLiteral("GetEQ"),
    QStringLiteral("GetGroupVolume"),
    QStringLiteral("GetGroupMute"),
    QStringLiteral("GetVolume"),
    QStringLiteral("GetMute"),
    QStringLiteral("/xml/device_description.xml"),
    QStringLiteral("/MediaRenderer/AVTransport/Event"),
    QStringLiteral("/MediaRenderer/GroupRenderingControl/Event"),
    QStringLiteral("/MediaRenderer/RenderingControl/Event"),
    QStringLiteral("/ZoneGroupTopology/Event"),
};

} // namespace

void reboot(SpeakerSimulator& simulator, const QString& host) {
    simulator.gena().forgetAll(host);
    simulator.update([&](FakeHousehold& household) {
        if (FakeSpeaker* speaker = household.speakerByHost(host))
            ++speaker->bootSeq;
    });
}

void setHung(SpeakerSimulator& simulator, const QString& host, bool hung) {
    for (const QString& request : everyRequest)
        simulator.setFault(host, request, hung ? Fault::silence() : Fault{});
}

void setRefusingSubscriptions(SpeakerSimulator& simulator, const QString& host, bool refusing) {
    GenaGrant grant;
    if (refusing)
        grant.status = 403;
    simulator.gena().setGrant(host, grant);
}

void limitTopologyReply(SpeakerSimulator& simulator, int largest) {
    const ActionHandler before =
        simulator.handler(Service::zoneGroupTopology, QStringLiteral("GetZoneGroupState"));
    simulator.setHandler(Service::zoneGroupTopology, QStringLiteral("GetZoneGroupState"),
                         [before, largest](ActionContext& context) {
                             if (context.household.speakers.size() > largest)
                                 return SoapReply::fault(QStringLiteral("501"));
                             return before(context);
                         });
}

} // namespace sim
