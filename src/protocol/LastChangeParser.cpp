#include "protocol/LastChangeParser.h"
#include "protocol/XmlDocument.h"

#include <cstring>

namespace {

// State variable name -> its "val" attribute, first occurrence for the Master channel (or no
// channel) wins.
struct LastChangeReader {
    Fields fields;

    void start(pugi::xml_node element) {
        const char* value = nullptr;
        const char* channel = nullptr;
        for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            if (std::strcmp(attribute.name(), "val") == 0)
                value = attribute.value();
            else if (std::strcmp(attribute.name(), "channel") == 0)
                channel = attribute.value();
        }
        if (!value)
            return;
        QString name = QString::fromUtf8(element.name());
        if (fields.contains(name))
            return;
        if (channel && std::strcmp(channel, "Master") != 0)
            return;
        fields.insert(std::move(name), QString::fromUtf8(value));
    }
    void text(const char*) {}
    void end(pugi::xml_node) {}
};

Fields read(const XmlDocument& document) {
    LastChangeReader reader;
    document.replay(reader);
    return std::move(reader.fields);
}

} // namespace

Fields LastChangeParser::parse(const QString& text) {
    return read(XmlDocument(text, XmlDocument::Reading::Tags));
}

Fields LastChangeParser::parse(const QByteArray& utf8) {
    return read(XmlDocument(utf8, XmlDocument::Reading::Tags));
}
