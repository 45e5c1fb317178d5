#pragma once

#include <QDateTime>
#include <QList>
#include <QLoggingCategory>
#include <QString>

// One category per component under "studio.quietforge.tamber".
Q_DECLARE_LOGGING_CATEGORY(logApp)
Q_DECLARE_LOGGING_CATEGORY(logSettings)
Q_DECLARE_LOGGING_CATEGORY(logProtocol)
Q_DECLARE_LOGGING_CATEGORY(logDiscovery)
Q_DECLARE_LOGGING_CATEGORY(logEvents)
Q_DECLARE_LOGGING_CATEGORY(logHousehold)

// The program's log: every message goes to stderr and is appended to
// $XDG_STATE_HOME/tamber/tamber.log, one line each:
//   2026-12-10T13:13:18.123Z info studio.quietforge.tamber.events: message text
// The file is rotated at 1 MiB, keeping one older file (tamber.log.1). It stays open between
// lines; each line is written through at once.
namespace Log {

struct Entry {
    QDateTime time;
    QString level; // debug, info, warning, critical, fatal
    QString category;
    QString message;
};

// Who writes the file: the running program rotates it; a later start that only hands its
// arguments over appends its lines but never rotates, since a rotation would pull the file
// away from under the running program, which keeps it open.
enum class FileUse { owner, appendOnly };

// Installs the message handler for the process.
void install(FileUse use = FileUse::owner);
QString stateFolder();            // $XDG_STATE_HOME/tamber: the log, crash records
QString filePath();               // where the log file lives
void setFilePath(const QString&); // tests and render mode
QString formatLine(const Entry& entry);
std::optional<Entry> parseLine(const QString& line);
// Entries of the log file (the rotated one first) not older than `since`.
QList<Entry> readSince(const QDateTime& since);

inline constexpr qint64 maxFileSize = 1024 * 1024;

} // namespace Log
