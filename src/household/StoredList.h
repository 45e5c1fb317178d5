#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include <optional>

// Arrays of stored records and the JSON documents that hold them. All or nothing: one item
// that cannot be written or read fails the whole array, so no partial list is ever stored
// or restored. `T` provides `toJson()` (a QJsonObject, or an optional one when writing can
// fail) and `static std::optional<T> fromJson(const QJsonValue&)`.
namespace StoredList {

template <typename T> std::optional<QJsonArray> toJson(const QList<T>& items) {
    QJsonArray array;
    for (const T& item : items) {
        const std::optional<QJsonObject> object = item.toJson();
        if (!object)
            return std::nullopt;
        array.append(*object);
    }
    return array;
}

template <typename T> std::optional<QList<T>> fromJson(const QJsonValue& value) {
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QList<T> items;
    items.reserve(array.size());
    for (const QJsonValue item : array) {
        std::optional<T> decoded = T::fromJson(item);
        if (!decoded)
            return std::nullopt;
        items.append(*std::move(decoded));
    }
    return items;
}

template <typename T> std::optional<QByteArray> encode(const QList<T>& items) {
    const std::optional<QJsonArray> array = toJson(items);
    if (!array)
        return std::nullopt;
    return QJsonDocument(*array).toJson(QJsonDocument::Compact);
}

template <typename T> std::optional<QList<T>> decode(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return fromJson<T>(document.array());
}

} // namespace StoredList
