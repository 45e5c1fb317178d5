#pragma once

#include <QString>
#include <QUrl>

// Links out of the panel: whether an application handles a URL scheme, and opening a URL with
// the desktop's handler. The desktop opener asks the XDG desktop entries for an application
// taking `x-scheme-handler/<scheme>` and opens through QDesktopServices; tests use a fake.
class LinkOpener {
public:
    virtual ~LinkOpener() = default;
    virtual bool handles(const QString& scheme) const = 0;
    virtual void open(const QUrl& url) = 0;

    // The desktop's opener, one for the program.
    static LinkOpener& desktop();
};
