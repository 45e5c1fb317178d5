#pragma once

#include <QByteArray>

// Preparing a reply's raw bytes for the XML readers.
namespace XmlBytes {

// The document as UTF-8 for the readers. A UTF-8 document (by its declaration or by default)
// is cut at its first byte sequence that is not UTF-8, so that the readers give what came
// before the fault, as for any other error in the document. A document in another encoding,
// named by byte order mark or declaration, is decoded; one in an encoding that is not known
// gives nothing.
QByteArray toUtf8(const QByteArray& bytes);

// The bytes up to the first byte sequence that is not UTF-8, for a document that is UTF-8 by
// its declaration or by default; other documents are returned unchanged.
QByteArray upToEncodingError(const QByteArray& bytes);

// The length of the longest prefix of `bytes` that is well-formed UTF-8 and ends between
// two characters.
qsizetype validUtf8Length(const QByteArray& bytes);

} // namespace XmlBytes
