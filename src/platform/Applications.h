#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// An installed application as its desktop entry describes it.
struct DesktopApp {
    QString id;            // the desktop file id, "spotify.desktop"
    QString path;          // the entry's file
    QString icon;          // Icon=: an icon theme name or an absolute path; empty when none
    QString program;       // the first word of Exec=
    QStringList arguments; // the other words, field codes removed

    friend bool operator==(const DesktopApp&, const DesktopApp&) = default;
};

// The applications installed on this computer: finding one by its desktop file ids and
// starting it.
class Applications {
public:
    virtual ~Applications() = default;

    // The first of `ids` that names an installed application, tried in order; nothing when
    // none does.
    virtual std::optional<DesktopApp> find(const QStringList& ids) const = 0;
    // Starts the application as a process of its own (its program with its arguments, never
    // through a shell). False when it could not be started.
    virtual bool launch(const DesktopApp& app) = 0;
};
