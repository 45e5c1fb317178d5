#include "protocol/Events.h"

// Placeholder until the subscriber lands: the household can be built and driven against it.

QString rawValue(EventService service) {
    switch (service) {
    case EventService::avTransport:
        return QStringLiteral("MediaRenderer/AVTransport");
    case EventService::groupRenderingControl:
        return QStringLiteral("MediaRenderer/GroupRenderingControl");
    case EventService::renderingControl:
        return QStringLiteral("MediaRenderer/RenderingControl");
    case EventService::zoneGroupTopology:
        return QStringLiteral("ZoneGroupTopology");
    }
    return {};
}

std::optional<EventService> eventServiceFrom(const QString& raw) {
    for (auto s : {EventService::avTransport, EventService::groupRenderingControl,
                   EventService::renderingControl, EventService::zoneGroupTopology})
        if (rawValue(s) == raw)
            return s;
    return std::nullopt;
}

QString eventPath(EventService service) {
    return QLatin1Char('/') + rawValue(service) + QStringLiteral("/Event");
}

QString Events::Target::callbackPath() const {
    return QLatin1Char('/') + uuid + QLatin1Char('/') + rawValue(service);
}

size_t qHash(const Events::Target& target, size_t seed) {
    return qHashMulti(seed, target.uuid, target.host, static_cast<int>(target.service));
}

Events::Events(QObject* parent) : QObject(parent) {}
Events::~Events() = default;
void Events::start() {}
void Events::sync(const QList<GroupAddresses>&) {}
void Events::stop() {}
bool Events::healthy() const {
    return false;
}
