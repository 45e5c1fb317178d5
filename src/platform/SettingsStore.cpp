#include "platform/SettingsStore.h"

#include "core/Log.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {
// Binary data is stored as an object holding only this key and the base64 text.
const QString dataTag = QStringLiteral("$base64");
} // namespace

SettingsStore::SettingsStore(const QString& path) : path_(path) {
    // A plain timer rather than the program's clock: when a file is written is no part of what
    // the program does, and must not show among the clock's pending calls.
    writeTimer_.setSingleShot(true);
    writeTimer_.setTimerType(Qt::CoarseTimer);
    QObject::connect(&writeTimer_, &QTimer::timeout, [this] { flush(); });
    if (QCoreApplication* app = QCoreApplication::instance())
        quitHook_ = QObject::connect(app, &QCoreApplication::aboutToQuit, [this] { flush(); });
    load();
}

SettingsStore::~SettingsStore() {
    QObject::disconnect(quitHook_);
    flush();
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
    removeStaleTemporaries();
    QFile file(path_);
    if (!file.exists())
        return;
    if (file.size() > maxFileSize) {
        // Reading and parsing hundreds of megabytes would hold up the start for a long time;
        // no settings this program writes come near the limit.
        keepAside(QStringLiteral("is larger than %1 bytes").arg(maxFileSize), QStringLiteral(".too-large-"));
        return;
    }
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
    keepAside(QStringLiteral("does not parse (%1)").arg(error.errorString()), QStringLiteral(".corrupt-"));
}

void SettingsStore::keepAside(const QString& why, const QString& suffix) {
    const QString aside =
        path_ + suffix + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (QFile::rename(path_, aside)) {
        qCWarning(logSettings, "Settings file %s %s; kept as %s and starting with defaults",
                  qUtf8Printable(path_), qUtf8Printable(why), qUtf8Printable(aside));
    } else {
        qCWarning(
            logSettings,
            "Settings file %s %s and cannot be moved aside; running with defaults and leaving it untouched",
            qUtf8Printable(path_), qUtf8Printable(why));
        writable_ = false;
    }
}

void SettingsStore::removeStaleTemporaries() const {
    // An atomic write goes through "<name>.XXXXXX" beside the file; a process killed during the
    // write leaves it behind. Only this store writes there, so any such file is stale.
    const QFileInfo info(path_);
    const QString prefix = info.fileName() + QLatin1Char('.');
    QDir folder = info.absoluteDir();
    for (const QString& name :
         folder.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden)) {
        const QStringView suffix = QStringView(name).sliced(prefix.size());
        const bool temporary = std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        });
        if (temporary && folder.remove(name))
            qCInfo(logSettings).noquote()
                << "Removed" << folder.filePath(name) << "left by an interrupted write";
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
    changed();
}

void SettingsStore::put(const QString& key, const QJsonValue& value) {
    const auto found = values_.constFind(key);
    if (found != values_.constEnd() && *found == value)
        return;
    values_.insert(key, value);
    changed();
}

void SettingsStore::changed() {
    dirty_ = true;
    if (!QThread::currentThread()->eventDispatcher()) {
        flush(); // no event loop to wait on
        return;
    }
    if (!writeTimer_.isActive())
        writeTimer_.start(writeDelay);
}

void SettingsStore::flush() {
    writeTimer_.stop();
    if (!dirty_)
        return;
    dirty_ = false;
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
