#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

using Fields = QHash<QString, QString>;

// Flattens any XML reply into element name (prefix kept, as written) -> text.
// Of several elements with one name, the first to end with non-empty text wins. Text is
// kept exactly as read, white space included; CDATA sections, comments and processing
// instructions contribute nothing. Malformed input ends reading at the first error and what
// was gathered until then is returned; it never fails.
class LeafParser {
public:
    // The text is read as UTF-8 whatever its XML declaration names.
    static Fields parse(const QString& text);
    // Raw bytes of a reply or event body, decoded as their XML declaration says (UTF-8 by
    // default); a UTF-8 document is read up to its first byte that is not UTF-8.
    static Fields parse(const QByteArray& utf8);
};
