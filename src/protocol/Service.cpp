#include "protocol/Service.h"

QString controlPath(Service service) {
    switch (service) {
    case Service::avTransport:
        return QStringLiteral("/MediaRenderer/AVTransport/Control");
    case Service::renderingControl:
        return QStringLiteral("/MediaRenderer/RenderingControl/Control");
    case Service::groupRenderingControl:
        return QStringLiteral("/MediaRenderer/GroupRenderingControl/Control");
    case Service::zoneGroupTopology:
        return QStringLiteral("/ZoneGroupTopology/Control");
    case Service::deviceProperties:
        return QStringLiteral("/DeviceProperties/Control");
    case Service::contentDirectory:
        return QStringLiteral("/MediaServer/ContentDirectory/Control");
    }
    return {};
}

QString serviceType(Service service) {
    switch (service) {
    case Service::avTransport:
        return QStringLiteral("urn:schemas-upnp-org:service:AVTransport:1");
    case Service::renderingControl:
        return QStringLiteral("urn:schemas-upnp-org:service:RenderingControl:1");
    case Service::groupRenderingControl:
        return QStringLiteral("urn:schemas-upnp-org:service:GroupRenderingControl:1");
    case Service::zoneGroupTopology:
        return QStringLiteral("urn:schemas-upnp-org:service:ZoneGroupTopology:1");
    case Service::deviceProperties:
        return QStringLiteral("urn:schemas-upnp-org:service:DeviceProperties:1");
    case Service::contentDirectory:
        return QStringLiteral("urn:schemas-upnp-org:service:ContentDirectory:1");
    }
    return {};
}
