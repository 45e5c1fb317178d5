#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QString>

#include <exception>

// A request that got no HTTP answer at all: no URL could be formed, the connection was
// refused, nothing came back in time. Callers tell it apart from SonosError by its type.
struct TransportError : std::exception {
    TransportError(QNetworkReply::NetworkError errorKind, QString text)
        : kind(errorKind), message(std::move(text)), utf8(message.toUtf8()) {}

    QNetworkReply::NetworkError kind;
    QString message;

    const char* what() const noexcept override { return utf8.constData(); }

private:
    QByteArray utf8;
};
