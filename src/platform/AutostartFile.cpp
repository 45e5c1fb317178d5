#include "platform/AutostartFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Exec lines quote arguments with double quotes; these characters are escaped inside them.
QString quotedExec(const QString& program) {
    QString escaped;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    return u'"' + escaped + u'"';
}

} // namespace

AutostartFile::AutostartFile(QString program) : program_(std::move(program)), path_(defaultPath()) {}

QString AutostartFile::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/studio.quietforge.tamber.desktop");
}

bool AutostartFile::registered() const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool inEntry = false;
    bool sawEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inEntry = line == u"[Desktop Entry]";
            sawEntry = sawEntry || inEntry;
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == u"Hidden" && value == u"true")
            return false;
        if (key == u"X-GNOME-Autostart-enabled" && value == u"false")
            return false;
    }
    return sawEntry;
}

std::optional<QString> AutostartFile::setRegistered(bool on) {
    if (!on) {
        QFile file(path_);
        if (!file.exists() || file.remove())
            return std::nullopt;
        return file.errorString();
    }
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath()))
        return QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return file.errorString();
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Tamber\n"
                                         "Exec=%1\n"
                                         "Icon=studio.quietforge.tamber\n"
                                         "NoDisplay=true\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(quotedExec(program_));
    file.write(entry.toUtf8());
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}
