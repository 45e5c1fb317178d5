#include "household/JsonReader.h"

#include "household/ReferenceDate.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

JsonReader::JsonReader(const QJsonValue& value) : object_(value.toObject()), ok_(value.isObject()) {}

template <typename T> T JsonReader::required(std::optional<T> value) {
    if (!value) {
        ok_ = false;
        return T{};
    }
    return *std::move(value);
}

std::optional<QJsonValue> JsonReader::present(QLatin1StringView key) const {
    const QJsonValue value = object_.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return value;
}

std::optional<int> JsonReader::toInteger(const QJsonValue& value) {
    const std::optional<double> number = toNumber(value);
    if (!number || std::trunc(*number) != *number || *number < double(std::numeric_limits<int>::min()) ||
        *number > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return static_cast<int>(*number);
}

std::optional<double> JsonReader::toNumber(const QJsonValue& value) {
    // A number in the model must be finite: one non-finite value would make every later
    // write of the groups fail. Qt's parser refuses literals beyond a double's range today;
    // this check keeps the rule from depending on that.
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        return std::nullopt;
    return value.toDouble();
}

std::optional<QString> JsonReader::toText(const QJsonValue& value) {
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

std::optional<bool> JsonReader::toBool(const QJsonValue& value) {
    return value.isBool() ? std::optional<bool>(value.toBool()) : std::nullopt;
}

std::optional<QUuid> JsonReader::toUuid(const QString& text) {
    static const QRegularExpression canonical(
        QStringLiteral("\\A[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\z"));
    if (!canonical.match(text).hasMatch())
        return std::nullopt;
    return QUuid::fromString(text);
}

std::optional<QUrl> JsonReader::toUrl(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

QString JsonReader::text(QLatin1StringView key) {
    return required(optionalText(key));
}

int JsonReader::integer(QLatin1StringView key) {
    return required(toInteger(object_.value(key)));
}

bool JsonReader::boolean(QLatin1StringView key) {
    return required(toBool(object_.value(key)));
}

double JsonReader::number(QLatin1StringView key) {
    return required(toNumber(object_.value(key)));
}

QDateTime JsonReader::date(QLatin1StringView key) {
    const std::optional<double> seconds = toNumber(object_.value(key));
    return required(seconds ? ReferenceDate::fromSeconds(*seconds) : std::nullopt);
}

QUuid JsonReader::uuid(QLatin1StringView key) {
    const QJsonValue value = object_.value(key);
    return required(value.isString() ? toUuid(value.toString()) : std::nullopt);
}

QJsonArray JsonReader::array(QLatin1StringView key) {
    const QJsonValue value = object_.value(key);
    return required(value.isArray() ? std::optional<QJsonArray>(value.toArray()) : std::nullopt);
}

QStringList JsonReader::texts(QLatin1StringView key) {
    QStringList result;
    for (const QJsonValue item : array(key)) {
        if (!item.isString()) {
            ok_ = false;
            return {};
        }
        result.append(item.toString());
    }
    return result;
}

template <typename T, typename Convert>
std::optional<T> JsonReader::optionalOf(QLatin1StringView key, Convert convert) {
    const std::optional<QJsonValue> value = present(key);
    if (!value)
        return std::nullopt;
    std::optional<T> result = convert(*value);
    ok_ = ok_ && result.has_value();
    return result;
}

std::optional<QString> JsonReader::optionalText(QLatin1StringView key) {
    return optionalOf<QString>(key, &JsonReader::toText);
}

std::optional<int> JsonReader::optionalInteger(QLatin1StringView key) {
    return optionalOf<int>(key, &JsonReader::toInteger);
}

std::optional<bool> JsonReader::optionalBoolean(QLatin1StringView key) {
    return optionalOf<bool>(key, &JsonReader::toBool);
}

std::optional<double> JsonReader::optionalNumber(QLatin1StringView key) {
    return optionalOf<double>(key, &JsonReader::toNumber);
}

std::optional<QUrl> JsonReader::optionalUrl(QLatin1StringView key) {
    return optionalOf<QUrl>(key, [](const QJsonValue& value) {
        const std::optional<QString> text = toText(value);
        return text ? toUrl(*text) : std::nullopt;
    });
}
