#include "protocol/LeafParser.h"
#include "protocol/XmlDocument.h"

namespace {

// The text since the latest element start or end, recorded under the element's name when the
// element ends with some.
struct LeafReader {
    Fields fields;
    QByteArray collected; // UTF-8

    void start(pugi::xml_node) { collected.resize(0); }
    void text(const char* data) { collected.append(data); }
    void end(pugi::xml_node element) {
        if (collected.isEmpty())
            return;
        QString name = QString::fromUtf8(element.name());
        if (!fields.contains(name))
            fields.insert(std::move(name), QString::fromUtf8(collected));
        collected.resize(0);
    }
};

Fields read(const XmlDocument& document) {
    LeafReader reader;
    document.replay(reader);
    return std::move(reader.fields);
}

} // namespace

Fields LeafParser::parse(const QString& text) {
    return read(XmlDocument(text));
}

Fields LeafParser::parse(const QByteArray& utf8) {
    return read(XmlDocument(utf8));
}
