#pragma once

#include "protocol/LeafParser.h"

// Reads a LastChange document into state variable name (prefix kept) -> its "val" attribute.
// The first occurrence of a name wins; values for a channel other than "Master" are skipped,
// and an element without a channel counts as "Master". Malformed input gives what was read
// before the error; it never fails.
class LastChangeParser {
public:
    // The text is read as UTF-8 whatever its XML declaration names.
    static Fields parse(const QString& text);
    static Fields parse(const QByteArray& utf8);
};
