#include "health/HealthTopologyParser.h"

#include "core/BoundedMemo.h"
#include "core/DecimalInteger.h"

#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

QHash<QString, QString> attributesOf(const QXmlStreamReader& reader) {
    QHash<QString, QString> map;
    for (const QXmlStreamAttribute& attribute : reader.attributes())
        map.insert(attribute.qualifiedName().toString(), attribute.value().toString());
    return map;
}

} // namespace

HealthTopologyParser HealthTopologyParser::parse(const QString& text) {
    HealthTopologyParser parser;
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    bool inVanished = false;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::EndElement) {
            if (reader.qualifiedName() == QLatin1String("VanishedDevices"))
                inVanished = false;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.qualifiedName();
        if (name == QLatin1String("VanishedDevices")) {
            inVanished = true;
        } else if (name == QLatin1String("ZoneGroupMember") || name == QLatin1String("Satellite")) {
            QHash<QString, QString> attributes = attributesOf(reader);
            const auto uuid = attributes.constFind(QStringLiteral("UUID"));
            if (uuid == attributes.cend())
                continue;
            const bool known = std::any_of(parser.devices.cbegin(), parser.devices.cend(),
                                           [&](const Device& device) { return device.uuid == *uuid; });
            if (!known)
                parser.devices.append(Device{*uuid, attributes});
        } else if (name == QLatin1String("Device") && inVanished) {
            QHash<QString, QString> attributes = attributesOf(reader);
            if (const auto uuid = attributes.constFind(QStringLiteral("UUID")); uuid != attributes.cend())
                parser.vanished.append(Device{*uuid, attributes});
        }
    }
    return parser;
}

bool HealthTopologyParser::hasDevice(const QString& text) {
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = reader.qualifiedName();
        if ((name == QLatin1String("ZoneGroupMember") || name == QLatin1String("Satellite")) &&
            reader.attributes().hasAttribute(QLatin1String("UUID")))
            return true;
    }
    return false;
}

namespace {

// The host of a "Location" URL, or "" when it is no valid URL. Remembered per thread: a household
// lists the same locations in every topology.
QString hostOf(const QString& location) {
    thread_local BoundedMemo<QString, QString> known;
    return *known.value(location, [&] {
        const QUrl url(location, QUrl::StrictMode);
        return std::optional<QString>(url.isValid() ? url.host() : QString());
    });
}

} // namespace

namespace Health {

HealthSpeaker speakerFromTopology(const QHash<QString, QString>& attributes, const QString& uuid) {
    const auto value = [&](const char* key) -> std::optional<QString> {
        const auto found = attributes.constFind(QLatin1String(key));
        return found == attributes.cend() ? std::nullopt : std::optional<QString>(*found);
    };
    HealthSpeaker speaker;
    speaker.id = uuid;
    speaker.name = value("ZoneName").value_or(uuid);
    if (const auto location = value("Location"))
        speaker.host = hostOf(*location);
    speaker.version = value("SoftwareVersion");
    const auto mode = value("WirelessMode");
    if (value("EthLink") == QStringLiteral("1"))
        speaker.link = HealthLink::ethernet;
    else if (mode == QStringLiteral("1"))
        speaker.link = HealthLink::wifi;
    else if (mode == QStringLiteral("0"))
        speaker.link =
            value("WifiEnabled") == QStringLiteral("0") ? HealthLink::unknown : HealthLink::sonosNet;
    else
        speaker.link = HealthLink::unknown;
    if (speaker.link != HealthLink::ethernet)
        if (const auto frequency = value("ChannelFreq"))
            speaker.channelMHz = DecimalInteger::read(*frequency);
    const auto extender = value("BehindWifiExtender");
    speaker.behindExtender = extender && *extender != QStringLiteral("0");
    speaker.inSystem = true;
    speaker.reachable = false;
    return speaker;
}

} // namespace Health
