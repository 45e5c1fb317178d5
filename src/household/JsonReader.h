#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

// Strict reading of one stored JSON object. Every required read of a missing key or of a
// value of another JSON type marks the reader failed (and gives a default value), so a
// decoder reads all its fields and asks `ok()` once at the end. Optional reads accept a
// missing key or null as absent, and fail only on a present value of another type.
// Numbers must be finite and fit their field: an integer field takes only whole numbers in
// the range of int.
class JsonReader {
public:
    explicit JsonReader(const QJsonValue& value);

    bool ok() const { return ok_; }
    void fail() { ok_ = false; }

    QString text(QLatin1StringView key);
    int integer(QLatin1StringView key);
    bool boolean(QLatin1StringView key);
    double number(QLatin1StringView key);
    QDateTime date(QLatin1StringView key);
    QUuid uuid(QLatin1StringView key);
    QJsonArray array(QLatin1StringView key);
    QStringList texts(QLatin1StringView key);

    std::optional<QString> optionalText(QLatin1StringView key);
    std::optional<int> optionalInteger(QLatin1StringView key);
    std::optional<bool> optionalBoolean(QLatin1StringView key);
    std::optional<double> optionalNumber(QLatin1StringView key);
    std::optional<QUrl> optionalUrl(QLatin1StringView key);

    // Shared by the readers above and by decoders of whole documents.
    static std::optional<int> toInteger(const QJsonValue& value);
    static std::optional<double> toNumber(const QJsonValue& value);
    static std::optional<QUuid> toUuid(const QString& text);
    static std::optional<QUrl> toUrl(const QString& text);

private:
    static std::optional<QString> toText(const QJsonValue& value);
    static std::optional<bool> toBool(const QJsonValue& value);
    // The value under `key`, or nothing when it is missing or null (for optional reads).
    std::optional<QJsonValue> present(QLatin1StringView key) const;
    template <typename T> T required(std::optional<T> value);
    // An optional read: nothing for a missing key or null, else `convert` of the value, whose
    // nothing marks the reader failed.
    template <typename T, typename Convert>
    std::optional<T> optionalOf(QLatin1StringView key, Convert convert);

    QJsonObject object_;
    bool ok_ = true;
};
