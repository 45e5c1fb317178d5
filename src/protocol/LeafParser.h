#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

using Fields = QHash<QString, QString>;

// Flattens any XML reply into element name (prefix kept, as written) -> text.
// Of several elements with one name, the first to end with non-empty text wins. Text is
// kept exactly as read, white space included. Malformed input ends reading at the first
// error and what was gathered until then is returned; it never fails.
class LeafParser {
public:
    static Fields parse(const QString& text);
    static Fields parse(const QByteArray& utf8);
};
