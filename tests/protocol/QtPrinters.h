#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>
#include <ostream>

// Readable failure messages for the Qt types the reader tests compare.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QUrl& url, std::ostream* out) {
    *out << "QUrl(" << url.toString(QUrl::FullyEncoded).toStdString() << ')';
}
