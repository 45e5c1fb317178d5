#include "platform/SettingsStore.h"

#include "core/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

#include <cmath>

namespace {
// Binary data is stored as an object holding only this key and the base64 text.
const QString dataTag = QStringLiteral("$base64");
} // namespace

SettingsStore::SettingsStore(const QString& path) : path_(path) {
    load();
}

QString SettingsStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tamber/settings.json");
}

QString SettingsStore::renderPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tamber/render-settings.json");
}

void SettingsStore::load() {
    QFile file(path_);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(logSettings) << "Cannot read" << path_ << "(" << file.errorString()
                               << "); running with defaults";
        writable_ = false; // never replace a file we could not read
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError && doc.isObject()) {
        values_ = doc.object();
        return;
    }
    const QString aside = path_ + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (QFile::rename(path_, aside)) {
        qCWarning(logSettings) << "Settings file" << path_ << "does not parse (" << error.errorString()
                               << "); kept as" << aside << "and starting with defaults";
    } else {
        qCWarning(logSettings) << "Settings file" << path_ << "does not parse and cannot be moved aside;"
                               << "running with defaults and leaving it untouched";
        writable_ = false;
    }
}

std::optional<bool> SettingsStore::boolValue(const QString& key) const {
    const QJsonValue v = values_.value(key);
    return v.isBool() ? std::optional<bool>(v.toBool()) : std::nullopt;
}

std::optional<double> SettingsStore::number(const QString& key) const {
    const QJsonValue v = values_.value(key);
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

std::optional<QString> SettingsStore::text(const QString& key) const {
    const QJsonValue v = values_.value(key);
    return v.isString() ? std::optional<QString>(v.toString()) : std::nullopt;
}

std::optional<QStringList> SettingsStore::textList(const QString& key) const {
    const QJsonValue v = values_.value(key);
    if (!v.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue& item : v.toArray()) {
        if (!item.isString())
            return std::nullopt;
        list.append(item.toString());
    }
    return list;
}

std::optional<QMap<QString, QString>> SettingsStore::textMap(const QString& key) const {
    const QJsonValue v = values_.value(key);
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject object = v.toObject();
    if (object.size() == 1 && object.contains(dataTag))
        return std::nullopt;
    QMap<QString, QString> map;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString())
            return std::nullopt;
        map.insert(it.key(), it.value().toString());
    }
    return map;
}

std::optional<QByteArray> SettingsStore::data(const QString& key) const {
    const QJsonValue v = values_.value(key);
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject object = v.toObject();
    if (object.size() != 1 || !object.value(dataTag).isString())
        return std::nullopt;
    auto decoded = QByteArray::fromBase64Encoding(object.value(dataTag).toString().toLatin1(),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? std::optional<QByteArray>(*decoded) : std::nullopt;
}

std::optional<QMap<QString, QMap<QString, QString>>> SettingsStore::textMaps(const QString& key) const {
    const QJsonValue v = values_.value(key);
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject object = v.toObject();
    if (object.size() == 1 && object.contains(dataTag))
        return std::nullopt;
    QMap<QString, QMap<QString, QString>> maps;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isObject())
            return std::nullopt;
        const QJsonObject inner = it.value().toObject();
        QMap<QString, QString> map;
        for (auto field = inner.begin(); field != inner.end(); ++field) {
            if (!field.value().isString())
                return std::nullopt;
            map.insert(field.key(), field.value().toString());
        }
        maps.insert(it.key(), map);
    }
    return maps;
}

void SettingsStore::setBool(const QString& key, bool value) {
    put(key, value);
}

void SettingsStore::setNumber(const QString& key, double value) {
    if (!std::isfinite(value)) {
        qCWarning(logSettings) << "Refusing to store a non-finite number under" << key;
        return;
    }
    put(key, value);
}

void SettingsStore::setText(const QString& key, const QString& value) {
    put(key, value);
}

void SettingsStore::setTextList(const QString& key, const QStringList& value) {
    put(key, QJsonArray::fromStringList(value));
}

void SettingsStore::setTextMap(const QString& key, const QMap<QString, QString>& value) {
    QJsonObject object;
    for (auto it = value.begin(); it != value.end(); ++it)
        object.insert(it.key(), it.value());
    put(key, object);
}

void SettingsStore::setData(const QString& key, const QByteArray& value) {
    put(key, QJsonObject{{dataTag, QString::fromLatin1(value.toBase64())}});
}

void SettingsStore::setTextMaps(const QString& key, const QMap<QString, QMap<QString, QString>>& value) {
    QJsonObject object;
    for (auto it = value.begin(); it != value.end(); ++it) {
        QJsonObject inner;
        for (auto field = it.value().begin(); field != it.value().end(); ++field)
            inner.insert(field.key(), field.value());
        object.insert(it.key(), inner);
    }
    put(key, object);
}

void SettingsStore::remove(const QString& key) {
    if (!values_.contains(key))
        return;
    values_.remove(key);
    save();
}

void SettingsStore::put(const QString& key, const QJsonValue& value) {
    values_.insert(key, value);
    save();
}

void SettingsStore::save() {
    if (!writable_)
        return;
    const QString folder = QFileInfo(path_).absolutePath();
    QSaveFile file(path_);
    const bool ok = QDir().mkpath(folder) && file.open(QIODevice::WriteOnly) &&
                    file.write(QJsonDocument(values_).toJson(QJsonDocument::Indented)) >= 0 && file.commit();
    if (!ok && !warnedWrite_) {
        warnedWrite_ = true;
        qCWarning(logSettings) << "Cannot write settings to" << path_ << "(" << file.errorString()
                               << "); changes stay in memory for this run";
    }
}
