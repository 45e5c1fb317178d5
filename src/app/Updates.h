#pragma once

#include <QObject>
#include <QString>

// What the system-health window shows about updates. The distribution's package manager
// updates the program, so no check can be started from here: `canCheck` stays false.
class Updates : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool canCheck() const { return false; }
    // The program's version as the build set it, or "–" when it has none.
    static QString version();
    // The rule itself, for a given version text.
    static QString versionText(const QString& applicationVersion);
};
