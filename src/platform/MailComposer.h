#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// The desktop's e-mail composer and file manager, as far as the problem report needs them.
class MailComposer {
public:
    struct Mail {
        QString recipient;
        QString subject;
        QString body;
        QStringList files; // absolute paths to attach
        friend bool operator==(const Mail&, const Mail&) = default;
    };

    virtual ~MailComposer() = default;
    // Hands the mail to the composer; `done` gets false when no composer took it.
    virtual void compose(const Mail& mail, QObject* context, std::function<void(bool)> done) = 0;
    // Opens a URL (a mailto: link) with the desktop's handler.
    virtual void openUrl(const QUrl& url) = 0;
    // Shows the files selected in the file manager.
    virtual void revealFiles(const QStringList& paths) = 0;
};

// xdg-email for composing (found on PATH, exit status 0 means it took the mail), xdg-open for
// links, and the file manager's ShowItems on the session bus, else its folder through
// xdg-open.
class DesktopMailComposer : public MailComposer {
public:
    void compose(const Mail& mail, QObject* context, std::function<void(bool)> done) override;
    void openUrl(const QUrl& url) override;
    void revealFiles(const QStringList& paths) override;
};
