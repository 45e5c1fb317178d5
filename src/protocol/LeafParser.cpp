#include "protocol/LeafParser.h"
#include "protocol/XmlBytes.h"

#include <QXmlStreamReader>

namespace {

Fields read(QXmlStreamReader& reader) {
    reader.setNamespaceProcessing(false);
    Fields fields;
    QString text;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            text.clear();
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isCDATA())
                text.append(reader.text());
            break;
        case QXmlStreamReader::EndElement:
            if (!text.isEmpty()) {
                QString name = reader.qualifiedName().toString();
                if (!fields.contains(name))
                    fields.insert(std::move(name), text);
                text.clear();
            }
            break;
        default:
            break;
        }
    }
    return fields;
}

} // namespace

Fields LeafParser::parse(const QString& text) {
    QXmlStreamReader reader(text);
    return read(reader);
}

Fields LeafParser::parse(const QByteArray& utf8) {
    QXmlStreamReader reader(XmlBytes::upToEncodingError(utf8));
    return read(reader);
}
