#include "protocol/HttpRequestHead.h"

#include <QStringDecoder>

#include <limits>

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
    qsizetype i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == QLatin1Char('+') || value[i] == QLatin1Char('-'))) {
        negative = value[i] == QLatin1Char('-');
        ++i;
    }
    if (i == value.size())
        return 0;
    constexpr qint64 limit = std::numeric_limits<qint64>::max();
    qint64 number = 0;
    for (; i < value.size(); ++i) {
        const char16_t c = value[i].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        const int digit = c - u'0';
        if (number > (limit - digit) / 10)
            return 0; // does not fit: not an integer
        number = number * 10 + digit;
    }
    if (negative || number <= 0)
        return 0;
    return static_cast<qsizetype>(number);
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
