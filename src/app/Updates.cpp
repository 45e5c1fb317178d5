#include "app/Updates.h"

#include <QCoreApplication>

QString Updates::version() {
    return versionText(QCoreApplication::applicationVersion());
}

QString Updates::versionText(const QString& applicationVersion) {
    return applicationVersion.isEmpty() ? QStringLiteral("\u2013") : applicationVersion;
}
