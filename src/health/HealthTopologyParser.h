#pragma once

#include "health/HealthReport.h"

#include <QHash>
#include <QList>
#include <QString>

// The household topology as the health check reads it: every member and satellite with all
// of its attributes, and the devices listed as vanished. Separate from the household's own
// topology reader, which keeps less.
class HealthTopologyParser {
public:
    struct Device {
        QString uuid;
        QHash<QString, QString> attributes; // as delivered, "UUID" included
        friend bool operator==(const Device&, const Device&) = default;
    };

    // Every "ZoneGroupMember" and "Satellite" with a "UUID", at any depth, in document order,
    // each UUID once (the first occurrence stays).
    QList<Device> devices;
    // Every "Device" with a "UUID" inside "VanishedDevices", duplicates kept.
    QList<Device> vanished;

    // Never fails: after a malformed document the lists hold what was read before the error.
    static HealthTopologyParser parse(const QString& text);
    // Whether parse(text) would list at least one device, read only as far as the first one.
    static bool hasDevice(const QString& text);
};

namespace Health {
// The first findings for a listed device: name, host, version, link, channel and repeater
// from its topology attributes; in the system, not yet reachable.
HealthSpeaker speakerFromTopology(const QHash<QString, QString>& attributes, const QString& uuid);
} // namespace Health
