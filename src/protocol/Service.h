#pragma once

#include <QString>

// The six UPnP services of a speaker that the program controls.
enum class Service {
    avTransport,
    renderingControl,
    groupRenderingControl,
    zoneGroupTopology,
    deviceProperties,
    contentDirectory
};

// The path of the service's control URL, appended to "http://<host>:1400".
QString controlPath(Service service);
// The service type URN: the namespace of the action element and the first half of SOAPACTION.
QString serviceType(Service service);
