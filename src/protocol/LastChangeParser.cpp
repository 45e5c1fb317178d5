#include "protocol/LastChangeParser.h"
#include "protocol/XmlBytes.h"

#include <QXmlStreamReader>

#include <optional>

namespace {

Fields read(QXmlStreamReader& reader) {
    reader.setNamespaceProcessing(false);
    Fields fields;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        std::optional<QStringView> value, channel;
        for (const QXmlStreamAttribute& attribute : attributes) {
            if (attribute.qualifiedName() == QLatin1String("val"))
                value = attribute.value();
            else if (attribute.qualifiedName() == QLatin1String("channel"))
                channel = attribute.value();
        }
        if (!value)
            continue;
        QString name = reader.qualifiedName().toString();
        if (fields.contains(name))
            continue;
        if (channel && *channel != QLatin1String("Master"))
            continue;
        fields.insert(std::move(name), value->toString());
    }
    return fields;
}

} // namespace

Fields LastChangeParser::parse(const QString& text) {
    QXmlStreamReader reader(text);
    return read(reader);
}

Fields LastChangeParser::parse(const QByteArray& utf8) {
    QXmlStreamReader reader(XmlBytes::upToEncodingError(utf8));
    return read(reader);
}
