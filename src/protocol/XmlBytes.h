#pragma once

#include <QByteArray>

// Preparing a reply's raw bytes for the XML readers.
namespace XmlBytes {

// The bytes up to the first byte sequence that is not UTF-8, for a document that is UTF-8 by
// its declaration or by default; other documents are returned unchanged. Qt's XML reader
// rejects a wrongly encoded document as a whole before reading any of it, so this gives the
// readers what came before the fault, as for any other error in the document.
QByteArray upToEncodingError(const QByteArray& bytes);

// The length of the longest prefix of `bytes` that is well-formed UTF-8 and ends between
// two characters.
qsizetype validUtf8Length(const QByteArray& bytes);

} // namespace XmlBytes
