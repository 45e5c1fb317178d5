#include "protocol/XmlBytes.h"

#include <QStringDecoder>

#include <cstring>
#include <optional>

namespace {

bool hasOtherByteOrderMark(const QByteArray& bytes) {
    return bytes.startsWith("\xfe\xff") || bytes.startsWith("\xff\xfe");
}

// The encoding named by the document's XML declaration, or nothing when it names none.
std::optional<QByteArray> declaredEncoding(const QByteArray& bytes) {
    if (!bytes.startsWith("<?xml"))
        return std::nullopt;
    const qsizetype end = bytes.indexOf("?>");
    if (end < 0)
        return std::nullopt;
    const QByteArray declaration = bytes.left(end);
    const qsizetype key = declaration.indexOf("encoding");
    if (key < 0)
        return std::nullopt;
    qsizetype quote = key + 8;
    while (quote < declaration.size() && declaration[quote] != '"' && declaration[quote] != '\'')
        ++quote;
    if (quote >= declaration.size())
        return std::nullopt;
    const qsizetype close = declaration.indexOf(declaration[quote], quote + 1);
    return declaration.mid(quote + 1, close < 0 ? -1 : close - quote - 1);
}

bool isUtf8Name(const QByteArray& name) {
    const QByteArray lower = name.toLower();
    return lower == "utf-8" || lower == "utf8";
}

// Whether the document names an encoding other than UTF-8, by byte order mark or by its
// XML declaration.
bool declaresOtherEncoding(const QByteArray& bytes) {
    if (hasOtherByteOrderMark(bytes))
        return true;
    const std::optional<QByteArray> name = declaredEncoding(bytes);
    return name && !isUtf8Name(*name);
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

QByteArray XmlBytes::toUtf8(const QByteArray& bytes) {
    if (!declaresOtherEncoding(bytes))
        return upToEncodingError(bytes);
    QStringDecoder decoder;
    if (hasOtherByteOrderMark(bytes)) {
        decoder = QStringDecoder(QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf16));
    } else {
        decoder = QStringDecoder(declaredEncoding(bytes)->constData());
    }
    if (!decoder.isValid())
        return {};
    const QString text = decoder.decode(bytes);
    return text.toUtf8();
}
