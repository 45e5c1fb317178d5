#pragma once

// Private XDG data folders for a test: the user's own and two system ones in a temporary folder,
// with XDG_DATA_HOME and XDG_DATA_DIRS pointing at them while the object lives.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace test {

class XdgDataFolders {
public:
    XdgDataFolders()
        : savedHome_(qEnvironmentVariable("XDG_DATA_HOME").toUtf8()),
          savedDirs_(qEnvironmentVariable("XDG_DATA_DIRS").toUtf8()),
          hadHome_(qEnvironmentVariableIsSet("XDG_DATA_HOME")),
          hadDirs_(qEnvironmentVariableIsSet("XDG_DATA_DIRS")) {
        qputenv("XDG_DATA_HOME", home().toUtf8());
        qputenv("XDG_DATA_DIRS", (system(1) + u':' + system(2)).toUtf8());
    }
    ~XdgDataFolders() {
        restore("XDG_DATA_HOME", hadHome_, savedHome_);
        restore("XDG_DATA_DIRS", hadDirs_, savedDirs_);
    }
    XdgDataFolders(const XdgDataFolders&) = delete;
    XdgDataFolders& operator=(const XdgDataFolders&) = delete;

    bool valid() const { return root_.isValid(); }
    QString path(const QString& name) const { return root_.filePath(name); }
    QString home() const { return root_.filePath(QStringLiteral("home")); }
    QString system(int n) const { return root_.filePath(QStringLiteral("system%1").arg(n)); }

    // Writes `text` as the desktop entry `id` of a data folder; returns its path.
    static QString write(const QString& folder, const QString& id, const QByteArray& text) {
        QDir().mkpath(folder + QStringLiteral("/applications"));
        const QString file = folder + QStringLiteral("/applications/") + id;
        QFile out(file);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(text);
        return file;
    }
    // An application entry with this Exec value (as written in the file) and further lines.
    static QByteArray entry(const QByteArray& exec, const QByteArray& extra = {}) {
        return "[Desktop Entry]\nType=Application\nName=Player\nIcon=player\nExec=" + exec + "\n" + extra;
    }

private:
    static void restore(const char* name, bool had, const QByteArray& value) {
        if (had)
            qputenv(name, value);
        else
            qunsetenv(name);
    }

    QTemporaryDir root_;
    QByteArray savedHome_;
    QByteArray savedDirs_;
    bool hadHome_;
    bool hadDirs_;
};

} // namespace test
