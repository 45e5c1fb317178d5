#pragma once

#include "platform/Applications.h"

#include <QIcon>
#include <QList>
#include <QWidget>

class QAbstractButton;

// One installed music app: its name as the panel shows it, its desktop entry and its icon.
struct MusicApp {
    QString name;
    DesktopApp entry;
    QIcon icon;
};

// The row of pills that open the installed music apps while nothing is loaded: one pill per app,
// sharing the row's width. The list of installed apps is looked up once per run (the onboarding
// pages show the same icons).
class MusicAppShortcuts : public QWidget {
    Q_OBJECT
public:
    // A candidate app: the name shown and the desktop file ids that install it, tried in order.
    struct Candidate {
        QString name;
        QStringList ids;
    };

    // The apps of the desktop entries, looked up on first use and kept until the program ends.
    explicit MusicAppShortcuts(QWidget* parent = nullptr);
    // These apps, started through `launcher` (which outlives the view).
    MusicAppShortcuts(QList<MusicApp> apps, Applications* launcher, QWidget* parent = nullptr);

    // The candidates in the order of the pills; the names pass through L() at the first call.
    static const QList<Candidate>& candidates();
    // The installed apps among `candidates`, in their order, with their icons.
    static QList<MusicApp> lookUp(const Applications& applications, const QList<Candidate>& candidates);
    // lookUp() over the desktop entries, done once per run.
    static const QList<MusicApp>& installed();
    // The icon of a desktop entry: an absolute path is a file, anything else an icon theme name.
    // In render mode it is drawn once into 72 × 72 pixels shown at 18 × 18 points.
    static QIcon iconOf(const DesktopApp& entry);

    const QList<MusicApp>& apps() const { return apps_; }
    QList<QAbstractButton*> pills() const;

private:
    void build();

    QList<MusicApp> apps_;
    Applications* launcher_;
};
