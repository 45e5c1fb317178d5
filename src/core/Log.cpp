#include "core/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <cstdio>

Q_LOGGING_CATEGORY(logApp, "studio.quietforge.tamber.app")
Q_LOGGING_CATEGORY(logSettings, "studio.quietforge.tamber.settings")
Q_LOGGING_CATEGORY(logProtocol, "studio.quietforge.tamber.protocol")
Q_LOGGING_CATEGORY(logDiscovery, "studio.quietforge.tamber.discovery")
Q_LOGGING_CATEGORY(logEvents, "studio.quietforge.tamber.events")
Q_LOGGING_CATEGORY(logHousehold, "studio.quietforge.tamber.household")

namespace {

QMutex& mutex() {
    static QMutex m;
    return m;
}

QString& pathOverride() {
    static QString p;
    return p;
}

QString levelName(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("debug");
    case QtInfoMsg:
        return QStringLiteral("info");
    case QtWarningMsg:
        return QStringLiteral("warning");
    case QtCriticalMsg:
        return QStringLiteral("critical");
    case QtFatalMsg:
        return QStringLiteral("fatal");
    }
    return QStringLiteral("info");
}

// The log file, kept open between lines: opening and closing it for every line cost a file
// system round trip on the thread that logged. Used under `mutex()` only.
struct OpenFile {
    QFile file;
    qint64 size = 0;
    bool rotates = true;
};

OpenFile& openFile() {
    static OpenFile f;
    return f;
}

bool openLog(OpenFile& f, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    f.file.setFileName(path);
    // Unbuffered: every line reaches the file at once, for readers and for a crash.
    if (!f.file.open(QIODevice::Append | QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    f.size = f.file.size();
    return true;
}

void appendToFile(const QByteArray& line) {
    OpenFile& f = openFile();
    const QString path = Log::filePath();
    if (f.file.isOpen() && f.file.fileName() != path)
        f.file.close();
    if (!f.file.isOpen() && !openLog(f, path))
        return;
    if (f.rotates && f.size > 0 && f.size + line.size() > Log::maxFileSize) {
        f.file.close();
        const QString old = path + QStringLiteral(".1");
        QFile::remove(old);
        QFile::rename(path, old);
        if (!openLog(f, path))
            return;
    }
    const qint64 written = f.file.write(line);
    if (written > 0)
        f.size += written;
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    Log::Entry entry{QDateTime::currentDateTimeUtc(), levelName(type),
                     QString::fromUtf8(context.category ? context.category : "default"), message};
    const QByteArray line = Log::formatLine(entry).toUtf8() + '\n';
    QMutexLocker lock(&mutex());
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    appendToFile(line);
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

namespace Log {

void install(FileUse use) {
    {
        QMutexLocker lock(&mutex());
        openFile().rotates = use == FileUse::owner;
    }
    qInstallMessageHandler(handler);
}

QString stateFolder() {
    // $XDG_STATE_HOME, else ~/.local/state, as the base directory specification says.
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/tamber");
}

QString filePath() {
    if (!pathOverride().isEmpty())
        return pathOverride();
    return stateFolder() + QStringLiteral("/tamber.log");
}

void setFilePath(const QString& path) {
    QMutexLocker lock(&mutex());
    pathOverride() = path;
    openFile().file.close();
}

QString formatLine(const Entry& entry) {
    QString message = entry.message;
    message.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return entry.time.toUTC().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + entry.level +
           QLatin1Char(' ') + entry.category + QLatin1String(": ") + message;
}

std::optional<Entry> parseLine(const QString& line) {
    const qsizetype a = line.indexOf(QLatin1Char(' '));
    const qsizetype b = a < 0 ? -1 : line.indexOf(QLatin1Char(' '), a + 1);
    const qsizetype c = b < 0 ? -1 : line.indexOf(QLatin1String(": "), b + 1);
    if (c < 0)
        return std::nullopt;
    Entry entry;
    entry.time = QDateTime::fromString(line.left(a), Qt::ISODateWithMs);
    if (!entry.time.isValid())
        return std::nullopt;
    entry.level = line.mid(a + 1, b - a - 1);
    entry.category = line.mid(b + 1, c - b - 1);
    entry.message = line.mid(c + 2);
    entry.message.replace(QLatin1String("\\n"), QLatin1String("\n"));
    return entry;
}

QList<Entry> readSince(const QDateTime& since) {
    QList<Entry> result;
    const QString path = filePath();
    for (const QString& name : {path + QStringLiteral(".1"), path}) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (auto entry = parseLine(line); entry && entry->time >= since)
                result.append(*entry);
        }
    }
    return result;
}

} // namespace Log
