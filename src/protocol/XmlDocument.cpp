#include "protocol/XmlDocument.h"

#include "protocol/XmlBytes.h"

#include <algorithm>
#include <cstring>

namespace {

// Comments, processing instructions and CDATA sections become nodes that the replay skips:
// so that an unterminated one is reported where it starts, not at the end of the document.
constexpr unsigned int tagOptions = pugi::parse_escapes | pugi::parse_eol | pugi::parse_wconv_attribute |
                                    pugi::parse_comments | pugi::parse_pi | pugi::parse_cdata;

unsigned int optionsFor(XmlDocument::Reading reading) {
    return reading == XmlDocument::Reading::Tags ? tagOptions : tagOptions | pugi::parse_ws_pcdata;
}

// Appended to a cut document to learn which elements are still open at the cut: it becomes a
// child of the innermost one.
constexpr char probeName[] = "tamber.cut.probe";
constexpr char probe[] = "<tamber.cut.probe/>";

// The last node in document order.
pugi::xml_node lastNode(const pugi::xml_document& tree) {
    pugi::xml_node node = tree.last_child();
    while (node && node.last_child())
        node = node.last_child();
    return node;
}

// Where it is worth cutting a document that fails at `errorAt`, latest first: its end (a
// document that merely stops with elements open), the error itself (a cut inside character data), the start
// of the last element read (an error inside its start tag) and the last few tag starts before the error (an
// error inside another tag).
std::vector<qsizetype> cutsBefore(const QByteArray& source, qsizetype errorAt, qsizetype lastElement) {
    std::vector<qsizetype> cuts{source.size(), errorAt};
    if (lastElement >= 0 && lastElement <= errorAt)
        cuts.push_back(lastElement);
    constexpr int tagStarts = 16;
    int found = 0;
    for (qsizetype i = std::min(errorAt, source.size() - 1); i >= 0 && found < tagStarts; --i) {
        if (source[i] == '<') {
            cuts.push_back(i);
            ++found;
        }
    }
    std::sort(cuts.begin(), cuts.end(), std::greater<>());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    return cuts;
}

} // namespace

XmlDocument::XmlDocument(const QString& text, Reading reading) : options_(optionsFor(reading)) {
    read(text.toUtf8(), [&text] { return text.toUtf8(); });
}

XmlDocument::XmlDocument(const QByteArray& bytes, Reading reading) : options_(optionsFor(reading)) {
    const QByteArray utf8 = XmlBytes::toUtf8(bytes);
    read(utf8, [&utf8] { return utf8; });
}

void XmlDocument::read(QByteArray utf8, const std::function<QByteArray()>& source) {
    buffer_ = std::move(utf8);
    if (buffer_.isEmpty())
        return;
    const pugi::xml_parse_result result = load(buffer_);
    complete_ = static_cast<bool>(result);
    if (!result)
        readUpToError(source(), static_cast<qsizetype>(result.offset));
}

pugi::xml_parse_result XmlDocument::load(QByteArray& utf8) {
    return tree_.load_buffer_inplace(utf8.data(), static_cast<size_t>(utf8.size()), options_,
                                     pugi::encoding_utf8);
}

// pugixml keeps the tree it built up to an error but not which of its elements were still
// open, nor whether the last one's start tag was whole. So the document is read once more,
// cut before the construct that failed, with a probe element appended: the cut that reads
// cleanly up to the probe gives the elements completed before the error, and the probe's
// ancestors are the elements left open. Only malformed documents take this path.
void XmlDocument::readUpToError(const QByteArray& source, qsizetype errorAt) {
    errorAt = std::clamp<qsizetype>(errorAt, 0, source.size());
    qsizetype lastElement = -1;
    for (pugi::xml_node node = lastNode(tree_); node; node = node.parent()) {
        if (node.type() == pugi::node_element) {
            lastElement = static_cast<qsizetype>(node.offset_debug()) - 1;
            break;
        }
    }
    for (const qsizetype cut : cutsBefore(source, errorAt, lastElement)) {
        QByteArray attempt = source.left(cut) + probe;
        const pugi::xml_parse_result result = load(attempt);
        const bool clean = result || (result.status == pugi::status_end_element_mismatch &&
                                      static_cast<qsizetype>(result.offset) >= cut);
        pugi::xml_node found = lastNode(tree_);
        if (!clean || found.type() != pugi::node_element || std::strcmp(found.name(), probeName) != 0)
            continue;
        buffer_ = std::move(attempt);
        for (pugi::xml_node open = found.parent(); open.type() == pugi::node_element; open = open.parent())
            unended_.push_back(open.internal_object());
        std::sort(unended_.begin(), unended_.end());
        found.parent().remove_child(found);
        return;
    }
    tree_.reset();
}
