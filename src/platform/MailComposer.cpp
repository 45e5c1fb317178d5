#include "platform/MailComposer.h"

#include "platform/ToolRunner.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>

void DesktopMailComposer::compose(const Mail& mail, QObject* context, std::function<void(bool)> done) {
    const QString program = ToolRunner::find(QStringLiteral("xdg-email"));
    if (program.isEmpty()) {
        done(false);
        return;
    }
    QStringList arguments{QStringLiteral("--utf8"), QStringLiteral("--subject"), mail.subject,
                          QStringLiteral("--body"), mail.body};
    for (const QString& file : mail.files)
        arguments << QStringLiteral("--attach") << file;
    arguments << mail.recipient;
    auto* process = new QProcess();
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QPointer<QObject> receiver(context);
    auto finish = [process, receiver, done = std::move(done)](bool ok) {
        process->deleteLater();
        if (receiver)
            done(ok);
    };
    QObject::connect(process, &QProcess::finished, process, [finish](int code, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit && code == 0);
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(false);
    });
    process->start(program, arguments);
}

void DesktopMailComposer::openUrl(const QUrl& url) {
    const QString program = ToolRunner::find(QStringLiteral("xdg-open"));
    if (!program.isEmpty())
        QProcess::startDetached(program, {url.toString(QUrl::FullyEncoded)});
}

void DesktopMailComposer::revealFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    QStringList uris;
    for (const QString& path : paths)
        uris.append(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    // A plain call without introspection: the file manager may not run at all.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.call(call, QDBus::Block, 2000).type() == QDBusMessage::ReplyMessage)
        return;
    openUrl(QUrl::fromLocalFile(QFileInfo(paths.first()).absolutePath()));
}
