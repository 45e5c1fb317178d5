#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <optional>

// The head of one HTTP request as the event server reads it: the request line and the header
// fields, everything before the first blank line. Deliberately small: no transfer codings,
// no continuation lines, no validation beyond what the event server needs.
struct HttpRequestHead {
    QString method;                  // first word of the request line, case kept
    QString path;                    // second word of the request line, as sent
    QHash<QString, QString> headers; // name lower-cased (not trimmed) -> value trimmed of spaces and tabs
    qsizetype contentLength = 0;     // "content-length" as a positive decimal, else 0

    // Reads the bytes before the blank line (without the CR LF CR LF). Nothing when they are not
    // valid UTF-8 or the request line has fewer than two words.
    static std::optional<HttpRequestHead> parse(QByteArrayView head);

    // The body length a Content-Length value stands for: a decimal integer with an optional
    // sign; anything else, zero, a negative value or one beyond 64 bits gives 0.
    static qsizetype bodyLength(const QString& value);
};
