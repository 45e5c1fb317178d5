#pragma once

#include <QByteArray>
#include <QString>

#include <exception>
#include <optional>

// A speaker answered, and the answer reports a failure (any status but 200 to a control call,
// a refused subscription). The description is the only text callers show.
struct SonosError : std::exception {
    SonosError(std::optional<QString> description, std::optional<QString> upnpCode)
        : errorDescription(std::move(description)), code(std::move(upnpCode)),
          utf8(errorDescription.value_or(QString()).toUtf8()) {}

    std::optional<QString> errorDescription;
    std::optional<QString> code; // the UPnP error code, when the speaker gave one

    const char* what() const noexcept override { return utf8.constData(); }

private:
    QByteArray utf8;
};
