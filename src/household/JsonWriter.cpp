#include "household/JsonWriter.h"

#include "household/ReferenceDate.h"

#include <cmath>

void JsonWriter::text(QLatin1StringView key, const QString& value) {
    object_.insert(key, value);
}

void JsonWriter::integer(QLatin1StringView key, int value) {
    object_.insert(key, value);
}

void JsonWriter::boolean(QLatin1StringView key, bool value) {
    object_.insert(key, value);
}

void JsonWriter::number(QLatin1StringView key, double value) {
    // QJsonValue would write a non-finite number as null, which no reader takes back.
    if (!std::isfinite(value)) {
        ok_ = false;
        return;
    }
    object_.insert(key, value);
}

void JsonWriter::date(QLatin1StringView key, const QDateTime& value) {
    const std::optional<double> seconds = ReferenceDate::toSeconds(value);
    if (!seconds) {
        ok_ = false;
        return;
    }
    number(key, *seconds);
}

void JsonWriter::uuid(QLatin1StringView key, const QUuid& value) {
    object_.insert(key, value.toString(QUuid::WithoutBraces).toUpper());
}

void JsonWriter::url(QLatin1StringView key, const QUrl& value) {
    if (!value.isValid() || value.isEmpty()) {
        ok_ = false;
        return;
    }
    object_.insert(key, value.toString(QUrl::FullyEncoded));
}

void JsonWriter::array(QLatin1StringView key, const QJsonArray& value) {
    object_.insert(key, value);
}

void JsonWriter::texts(QLatin1StringView key, const QStringList& value) {
    object_.insert(key, QJsonArray::fromStringList(value));
}

void JsonWriter::text(QLatin1StringView key, const std::optional<QString>& value) {
    if (value)
        text(key, *value);
}

void JsonWriter::integer(QLatin1StringView key, const std::optional<int>& value) {
    if (value)
        integer(key, *value);
}

void JsonWriter::boolean(QLatin1StringView key, const std::optional<bool>& value) {
    if (value)
        boolean(key, *value);
}

void JsonWriter::number(QLatin1StringView key, const std::optional<double>& value) {
    if (value)
        number(key, *value);
}

void JsonWriter::url(QLatin1StringView key, const std::optional<QUrl>& value) {
    if (value)
        url(key, *value);
}
