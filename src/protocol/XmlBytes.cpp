#include "protocol/XmlBytes.h"

#include <cstring>

namespace {

// Whether the document names an encoding other than UTF-8, by byte order mark or by its
// XML declaration.
bool declaresOtherEncoding(const QByteArray& bytes) {
    if (bytes.startsWith("\xfe\xff") || bytes.startsWith("\xff\xfe"))
        return true;
    if (!bytes.startsWith("<?xml"))
        return false;
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0)
        return false;
    const QByteArray declaration = bytes.left(end);
    const qsizetype key = declaration.indexOf("encoding");
    if (key < 0)
        return false;
    qsizetype quote = key + 8;
    while (quote < declaration.size() && declaration[quote] != '"' && declaration[quote] != '\'')
        ++quote;
    if (quote >= declaration.size())
        return false;
    const qsizetype close = declaration.indexOf(declaration[quote], quote + 1);
    const QByteArray name = declaration.mid(quote + 1, close < 0 ? -1 : close - quote - 1).toLower();
    return name != "utf-8" && name != "utf8";
}

} // namespace

namespace {

// The length of the well-formed multi-byte sequence at data[i] (lead byte 0x80 or above), or 0.
qsizetype sequenceLength(const unsigned char* data, qsizetype i, qsizetype size) {
    const unsigned char lead = data[i];
    qsizetype length = 0;
    unsigned char low = 0x80, high = 0xbf; // allowed range of the second byte
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0)
            low = 0xa0; // no overlong forms
        else if (lead == 0xed)
            high = 0x9f; // no surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0)
            low = 0x90;
        else if (lead == 0xf4)
            high = 0x8f; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > size || data[i + 1] < low || data[i + 1] > high)
        return 0;
    for (qsizetype k = 2; k < length; ++k) {
        if (data[i + k] < 0x80 || data[i + k] > 0xbf)
            return 0;
    }
    return length;
}

} // namespace

qsizetype XmlBytes::validUtf8Length(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        // Runs of ASCII, the bulk of every reply, eight bytes at a time.
        while (i + 8 <= size) {
            quint64 word;
            std::memcpy(&word, data + i, sizeof word);
            if (word & 0x8080808080808080ULL)
                break;
            i += 8;
        }
        if (i >= size)
            break;
        if (data[i] < 0x80) {
            ++i;
            continue;
        }
        const qsizetype length = sequenceLength(data, i, size);
        if (length == 0)
            return i;
        i += length;
    }
    return size;
}

QByteArray XmlBytes::upToEncodingError(const QByteArray& bytes) {
    const qsizetype valid = validUtf8Length(bytes);
    if (valid == bytes.size() || declaresOtherEncoding(bytes))
        return bytes;
    return bytes.left(valid);
}
