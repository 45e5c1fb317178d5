#include "platform/DesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(logDesktopEntries, "studio.quietforge.tamber.apps")

namespace {

// The key-file escapes of a string value: \s, \n, \t, \r and \\. Any other backslash stays, so
// that the Exec quoting below still sees it.
QString unescaped(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[i + 1];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else if (next == u'\\')
            out += u'\\';
        else {
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}

// The keys of the [Desktop Entry] group, each with its first value; nothing when the file
// cannot be read or has no such group.
std::optional<QHash<QString, QString>> entryKeys(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QHash<QString, QString> keys;
    bool inEntry = false;
    bool sawEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inEntry = line == u"[Desktop Entry]";
            sawEntry = sawEntry || inEntry;
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inEntry || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!keys.contains(key))
            keys.insert(key, line.mid(eq + 1).trimmed());
    }
    if (!sawEntry)
        return std::nullopt;
    return keys;
}

enum class Verdict { App, Hidden, Unusable };

struct Reading {
    Verdict verdict = Verdict::Unusable;
    DesktopApp app;
    QStringList mimeTypes; // MimeType=, for the URL schemes the app takes
    QString why;           // for the log, when unusable
};

Reading unusable(const QString& why) {
    return Reading{Verdict::Unusable, {}, {}, why};
}

bool tryExecFound(const QString& tryExec) {
    if (QDir::isAbsolutePath(tryExec))
        return QFileInfo(tryExec).isExecutable();
    return !QStandardPaths::findExecutable(tryExec).isEmpty();
}

Reading readEntry(const QString& path, const QString& id) {
    const std::optional<QHash<QString, QString>> keys = entryKeys(path);
    if (!keys)
        return unusable(QStringLiteral("no readable [Desktop Entry] group"));
    if (keys->value(QStringLiteral("Hidden")) == u"true")
        return Reading{Verdict::Hidden, {}, {}, {}};
    if (keys->value(QStringLiteral("Type")) != u"Application")
        return unusable(QStringLiteral("not of type Application"));
    const QString tryExec = unescaped(keys->value(QStringLiteral("TryExec")));
    if (!tryExec.isEmpty() && !tryExecFound(tryExec))
        return unusable(QStringLiteral("TryExec program missing"));
    const std::optional<QStringList> words =
        DesktopEntries::splitExec(unescaped(keys->value(QStringLiteral("Exec"))));
    if (!words)
        return unusable(QStringLiteral("no usable Exec line"));
    DesktopApp app;
    app.id = id;
    app.path = path;
    app.icon = unescaped(keys->value(QStringLiteral("Icon")));
    app.program = words->first();
    app.arguments = words->mid(1);
    QStringList types = keys->value(QStringLiteral("MimeType")).split(u';', Qt::SkipEmptyParts);
    for (QString& type : types)
        type = type.trimmed();
    return Reading{Verdict::App, app, types, {}};
}

// The field codes of the desktop entry format: each stands for something handed over at launch
// (files, URLs, the icon, the name, the entry's location) or nothing (the deprecated ones).
// This program hands over nothing, so each is taken out.
bool isFieldCode(QChar c) {
    static const QString codes = QStringLiteral("fFuUdDnNickvm");
    return codes.contains(c);
}

// Splits words at unquoted blanks; inside double quotes, \" \` \$ and \\ stand for the
// character itself. Unquoted field codes are taken out, and a word made only of field codes
// disappears; "%%" is a percent sign.
class ExecSplitter {
public:
    explicit ExecSplitter(const QString& exec) : exec_(exec) {}

    std::optional<QStringList> run() {
        for (i_ = 0; i_ < exec_.size(); ++i_) {
            const bool ok = quoted_ ? quotedChar() : plainChar();
            if (!ok)
                return std::nullopt;
        }
        if (quoted_)
            return std::nullopt;
        endWord();
        if (words_.isEmpty() || words_.first().isEmpty())
            return std::nullopt;
        return words_;
    }

private:
    bool quotedChar() {
        const QChar c = exec_[i_];
        if (c == u'"') {
            quoted_ = false;
            return true;
        }
        if (c == u'\\' && i_ + 1 < exec_.size()) {
            const QChar next = exec_[i_ + 1];
            if (next == u'"' || next == u'`' || next == u'$' || next == u'\\') {
                word_ += next;
                ++i_;
                return true;
            }
        }
        word_ += c;
        return true;
    }

    bool plainChar() {
        const QChar c = exec_[i_];
        if (c == u' ' || c == u'\t' || c == u'\n') {
            endWord();
            return true;
        }
        if (c == u'"') {
            quoted_ = true;
            kept_ = true;
            return true;
        }
        if (c != u'%') {
            word_ += c;
            kept_ = true;
            return true;
        }
        if (i_ + 1 == exec_.size())
            return false;
        const QChar code = exec_[++i_];
        if (code == u'%') {
            word_ += code;
            kept_ = true;
            return true;
        }
        return isFieldCode(code);
    }

    void endWord() {
        if (kept_)
            words_.append(word_);
        word_.clear();
        kept_ = false;
    }

    const QString& exec_;
    qsizetype i_ = 0;
    bool quoted_ = false;
    bool kept_ = false; // the word holds more than field codes (an empty quote counts)
    QString word_;
    QStringList words_;
};

// The entry that counts for `id`: the first usable one in folder order; nothing when there is
// none or the first one found hides the id.
std::optional<Reading> entryFor(const QStringList& folders, const QString& id) {
    for (const QString& folder : folders) {
        const QString path = folder + QStringLiteral("/applications/") + id;
        if (!QFileInfo::exists(path))
            continue;
        Reading reading = readEntry(path, id);
        if (reading.verdict == Verdict::App)
            return reading;
        if (reading.verdict == Verdict::Hidden)
            return std::nullopt;
        qCWarning(logDesktopEntries) << "desktop entry passed over:" << path << reading.why;
    }
    return std::nullopt;
}

} // namespace

DesktopEntries::DesktopEntries(QStringList dataFolders, Starter starter)
    : folders_(dataFolders.isEmpty() ? DesktopEntries::dataFolders() : std::move(dataFolders)),
      starter_(std::move(starter)) {
    if (!starter_)
        starter_ = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
}

QStringList DesktopEntries::dataFolders() {
    QStringList folders;
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(home))
        folders.append(home);
    else
        folders.append(QDir::homePath() + QStringLiteral("/.local/share"));
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir) && !folders.contains(dir))
            folders.append(dir);
    return folders;
}

std::optional<QStringList> DesktopEntries::splitExec(const QString& exec) {
    return ExecSplitter(exec).run();
}

std::optional<DesktopApp> DesktopEntries::find(const QStringList& ids) const {
    for (const QString& id : ids)
        if (const std::optional<Reading> reading = entryFor(folders_, id))
            return reading->app;
    return std::nullopt;
}

bool DesktopEntries::handlesScheme(const QString& scheme) const {
    const QString wanted = QStringLiteral("x-scheme-handler/") + scheme;
    QSet<QString> ids;
    for (const QString& folder : folders_)
        for (const QString& id : QDir(folder + QStringLiteral("/applications"))
                                     .entryList({QStringLiteral("*.desktop")}, QDir::Files))
            ids.insert(id);
    for (const QString& id : std::as_const(ids))
        if (const std::optional<Reading> reading = entryFor(folders_, id);
            reading && reading->mimeTypes.contains(wanted))
            return true;
    return false;
}

bool DesktopEntries::launch(const DesktopApp& app) {
    if (app.program.isEmpty())
        return false;
    const bool started = starter_(app.program, app.arguments);
    if (!started)
        qCWarning(logDesktopEntries) << "could not start" << app.program << "of" << app.path;
    return started;
}
