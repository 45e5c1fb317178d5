#include "protocol/HttpRequestHead.h"

#include "core/DecimalInteger.h"

#include <QStringDecoder>

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimmedOfBlanks(QStringView text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.sliced(start, end - start).toString();
}

} // namespace

qsizetype HttpRequestHead::bodyLength(const QString& value) {
    const std::optional<qint64> length = DecimalInteger::read(value);
    return length && *length > 0 ? static_cast<qsizetype>(*length) : 0;
}

std::optional<HttpRequestHead> HttpRequestHead::parse(QByteArrayView head) {
    // Strict UTF-8: an invalid or truncated sequence makes the head unreadable. A byte order
    // mark is kept as a character, so it stays part of the method.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(head);
    if (decoder.hasError())
        return std::nullopt;

    const QList<QStringView> lines = QStringView(text).split(u"\r\n");
    const QList<QStringView> words = lines.first().split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2)
        return std::nullopt;

    HttpRequestHead result;
    result.method = words[0].toString();
    result.path = words[1].toString();
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QStringView line = lines[n];
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0)
            continue;
        result.headers.insert(line.first(colon).toString().toLower(),
                              trimmedOfBlanks(line.sliced(colon + 1)));
    }
    result.contentLength =
        bodyLength(result.headers.value(QStringLiteral("content-length"), QStringLiteral("0")));
    return result;
}
