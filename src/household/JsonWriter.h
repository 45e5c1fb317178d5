#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

// Builds one stored JSON object. A value that JSON cannot hold (a number that is not finite,
// an invalid date or URL) marks the writer failed instead of being written as something
// else, so the caller stores nothing rather than a document that reads back wrong. Optional
// values that are absent are left out of the object.
class JsonWriter {
public:
    bool ok() const { return ok_; }
    void fail() { ok_ = false; }
    const QJsonObject& object() const { return object_; }

    void text(QLatin1StringView key, const QString& value);
    void integer(QLatin1StringView key, int value);
    void boolean(QLatin1StringView key, bool value);
    void number(QLatin1StringView key, double value);
    void date(QLatin1StringView key, const QDateTime& value);
    void uuid(QLatin1StringView key, const QUuid& value);
    void url(QLatin1StringView key, const QUrl& value);
    void array(QLatin1StringView key, const QJsonArray& value);
    void texts(QLatin1StringView key, const QStringList& value);

    void text(QLatin1StringView key, const std::optional<QString>& value);
    void integer(QLatin1StringView key, const std::optional<int>& value);
    void boolean(QLatin1StringView key, const std::optional<bool>& value);
    void number(QLatin1StringView key, const std::optional<double>& value);
    void url(QLatin1StringView key, const std::optional<QUrl>& value);

private:
    QJsonObject object_;
    bool ok_ = true;
};
