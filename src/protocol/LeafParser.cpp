#include "protocol/LeafParser.h"

#include <QXmlStreamReader>

Fields LeafParser::parse(const QString& text) {
    return parse(text.toUtf8());
}

Fields LeafParser::parse(const QByteArray& utf8) {
    Fields fields;
    QString text;
    QXmlStreamReader reader(utf8);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            text.clear();
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isCDATA())
                text.append(reader.text());
            break;
        case QXmlStreamReader::EndElement: {
            const QString name = reader.qualifiedName().toString();
            if (!text.isEmpty() && !fields.contains(name))
                fields.insert(name, text);
            text.clear();
            break;
        }
        default:
            break;
        }
    }
    return fields;
}
