#pragma once

#include "protocol/Service.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace sim {

// One request as a fake speaker received it.
struct SimRequest {
    QString host;         // the speaker's address the request came to
    QString peer;         // the sender's address
    quint16 peerPort = 0; // the sender's port: the same for requests over one connection
    QByteArray method;
    QByteArray path;
    QList<QPair<QByteArray, QByteArray>> headers; // as sent, in order
    QByteArray body;
    // For a SOAP request: the service of the path, the action element's name and its children
    // in order (text decoded).
    std::optional<Service> service;
    QString action;
    QList<QPair<QString, QString>> args;

    QByteArray header(const QByteArray& name) const {
        for (const auto& [key, value] : headers)
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        return {};
    }
    bool hasHeader(const QByteArray& name) const {
        for (const auto& pair : headers)
            if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }
    QString arg(const QString& name) const {
        for (const auto& [key, value] : args)
            if (key == name)
                return value;
        return {};
    }
};

// A whole HTTP answer of a fake speaker.
struct HttpReply {
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers; // besides Content-Length and Connection
    QByteArray body;
};

} // namespace sim
