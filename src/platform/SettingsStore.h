#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <optional>

// The program's stored settings: one JSON file of typed values under fixed keys.
//
// Forms: bool, number, text, text list, text map, map of text maps and data. A value read in a form other
// than the one stored reads as absent, so callers fall back to their defaults. Keys that this
// version does not know are kept as they are.
//
// Writing: a setter that changes nothing writes nothing. Changes are written together
// `writeDelay` after the first of them, atomically (a crash mid-write leaves the previous file
// whole), and at the latest by `flush()`, which runs when the application is about to quit and
// when the store is destroyed. Code that ends the process another way (a signal handler) calls
// `flush()` first.
//
// Reading at start: a file that does not parse, or one larger than `maxFileSize`, is renamed
// aside with a time stamp and never overwritten; the store then starts empty. Temporary files
// that an interrupted write left beside the file are removed.
class SettingsStore {
public:
    static constexpr std::chrono::milliseconds writeDelay{500};
    static constexpr qint64 maxFileSize = 4 * 1024 * 1024;

    explicit SettingsStore(const QString& path);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // $XDG_CONFIG_HOME/tamber/settings.json
    static QString defaultPath();
    // The separate store of render mode, $XDG_CONFIG_HOME/tamber/render-settings.json.
    static QString renderPath();

    QString path() const { return path_; }
    bool writable() const { return writable_; }

    bool contains(const QString& key) const { return values_.contains(key); }
    std::optional<bool> boolValue(const QString& key) const;
    std::optional<double> number(const QString& key) const;
    std::optional<QString> text(const QString& key) const;
    std::optional<QStringList> textList(const QString& key) const;
    std::optional<QMap<QString, QString>> textMap(const QString& key) const;
    std::optional<QByteArray> data(const QString& key) const;
    // An object whose every value is a text map; any other value inside makes it absent.
    std::optional<QMap<QString, QMap<QString, QString>>> textMaps(const QString& key) const;

    void setBool(const QString& key, bool value);
    void setNumber(const QString& key, double value);
    void setText(const QString& key, const QString& value);
    void setTextList(const QString& key, const QStringList& value);
    void setTextMap(const QString& key, const QMap<QString, QString>& value);
    void setData(const QString& key, const QByteArray& value);
    void setTextMaps(const QString& key, const QMap<QString, QMap<QString, QString>>& value);
    void remove(const QString& key);

    // Writes the pending changes now, if any. Returns at once when there are none.
    void flush();
    bool hasPendingChanges() const { return dirty_; }

private:
    void load();
    void removeStaleTemporaries() const;
    void keepAside(const QString& why, const QString& suffix);
    void put(const QString& key, const QJsonValue& value);
    void changed();
    void save();

    QString path_;
    QJsonObject values_;
    bool writable_ = true;
    bool warnedWrite_ = false;
    bool dirty_ = false;
    QTimer writeTimer_;
    QMetaObject::Connection quitHook_;
};
