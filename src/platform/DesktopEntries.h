#pragma once

#include "platform/Applications.h"

#include <functional>

// The applications of the XDG desktop entries: "<data folder>/applications/<id>" in the data
// folders, the user's own first. The first entry found for an id decides: one that hides
// itself ("Hidden=true") hides the id's entries in later folders too; one that cannot be used
// (not a readable [Desktop Entry] of type Application, no Exec, broken quoting, a TryExec
// program that is not there) is passed over with a warning, and the later folders are asked.
//
// Starting runs the Exec line's program with its arguments, split by the desktop entry's
// quoting rules with the field codes (%f, %U, %i, %c, %k ...) taken out; no shell ever sees it.
class DesktopEntries : public Applications {
public:
    // Starts a detached process; QProcess::startDetached unless the tests put another in place.
    using Starter = std::function<bool(const QString& program, const QStringList& arguments)>;

    // Looks in the applications/ folders of `dataFolders`, earlier ones first; none given: the
    // folders of the environment (see dataFolders()), read once here.
    explicit DesktopEntries(QStringList dataFolders = {}, Starter starter = {});

    // $XDG_DATA_HOME (else ~/.local/share), then each of $XDG_DATA_DIRS (else
    // /usr/local/share:/usr/share); relative paths are left out, as the base-directory rules say.
    static QStringList dataFolders();

    // An Exec value (its key-file escapes already undone) split into words; nothing when its
    // quoting is broken, it holds an unknown field code, or no program is left.
    static std::optional<QStringList> splitExec(const QString& exec);

    const QStringList& folders() const { return folders_; }

    std::optional<DesktopApp> find(const QStringList& ids) const override;
    // Whether an application that counts (by the rules of `find`) declares
    // "x-scheme-handler/<scheme>" among its MIME types, so that the desktop opens such URLs
    // with it. Read afresh on every call: an app installed meanwhile changes the answer.
    bool handlesScheme(const QString& scheme) const;
    bool launch(const DesktopApp& app) override;

private:
    QStringList folders_;
    Starter starter_;
};
