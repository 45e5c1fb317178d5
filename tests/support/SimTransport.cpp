#include "SimTransport.h"

#include <algorithm>

namespace sim {

namespace {

ActionHandler step(int by) {
    return [by](ActionContext& context) {
        TransportState& transport = context.speaker.transport;
        if (transport.queue.isEmpty())
            return SoapReply::fault(QStringLiteral("701"));
        const int target = std::max(transport.track + by, 1); // back from the first restarts it
        if (target > transport.queue.size())
            return SoapReply::fault(QStringLiteral("711"));
        transport.select(target);
        context.changed(context.speaker.uuid, Service::avTransport);
        return SoapReply::ok();
    };
}

} // namespace

void installTransportActions(SpeakerSimulator& simulator) {
    simulator.setHandler(Service::avTransport, QStringLiteral("Next"), step(1));
    simulator.setHandler(Service::avTransport, QStringLiteral("Previous"), step(-1));
}

} // namespace sim
