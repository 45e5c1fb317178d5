#pragma once

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>

#include <algorithm>
#include <functional>
#include <vector>

// One speaker document read by pugixml and handed to a reader as the stream of element
// starts, character data and element ends that a streaming parser would give.
//
// The document is parsed in place in a buffer of its own; predefined entities and character
// references are decoded, a document type declaration is skipped and never expanded,
// comments, processing instructions and CDATA sections give nothing, and line ends and
// white space in attribute values are normalised as XML asks. When the document is malformed,
// reading stops at its first error: elements whose start tag was read whole are started,
// only those whose end came before the error are ended, and nothing after the error is seen.
class XmlDocument {
public:
    // What a reader looks at. A reader of tags alone is spared the character data that only
    // lays the document out (white space between tags); other character data still reaches it.
    enum class Reading { Everything, Tags };

    // The text is read as UTF-8 whatever its XML declaration names.
    explicit XmlDocument(const QString& text, Reading reading = Reading::Everything);
    // Raw bytes of a reply or event body, decoded as their XML declaration says (UTF-8 by
    // default); a UTF-8 document is read up to its first byte that is not UTF-8.
    explicit XmlDocument(const QByteArray& bytes, Reading reading = Reading::Everything);

    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Calls, in document order, `reader.start(element)` for every element started,
    // `reader.text(utf8)` for every piece of character data inside the root element, and
    // `reader.end(element)` for every element ended. Names and values are UTF-8, decoded.
    template <typename Reader> void replay(Reader& reader) const;

    // Whether the whole document was read without an error.
    bool complete() const { return complete_; }

private:
    void read(QByteArray utf8, const std::function<QByteArray()>& source);
    pugi::xml_parse_result load(QByteArray& utf8);
    void readUpToError(const QByteArray& source, qsizetype errorAt);
    bool ended(pugi::xml_node element) const;

    QByteArray buffer_; // the parsed text; the tree's names and values point into it
    pugi::xml_document tree_;
    std::vector<const void*> unended_; // elements still open at the first error, sorted
    unsigned int options_;
    bool complete_ = true;
};

template <typename Reader> void XmlDocument::replay(Reader& reader) const {
    pugi::xml_node node = tree_.first_child();
    while (node) {
        if (node.type() == pugi::node_element) {
            reader.start(node);
            if (const pugi::xml_node child = node.first_child()) {
                node = child;
                continue;
            }
            if (ended(node))
                reader.end(node);
        } else if (node.type() == pugi::node_pcdata) {
            reader.text(node.value());
        }
        // On to the next node in document order, ending each element left on the way up.
        while (!node.next_sibling()) {
            node = node.parent();
            if (node.type() != pugi::node_element)
                return;
            if (ended(node))
                reader.end(node);
        }
        node = node.next_sibling();
    }
}

inline bool XmlDocument::ended(pugi::xml_node element) const {
    return unended_.empty() || !std::binary_search(unended_.begin(), unended_.end(),
                                                   static_cast<const void*>(element.internal_object()));
}
