#include "platform/ToolRunner.h"

#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

QString ToolRunner::find(const QString& name) {
    QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                                      QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    return found;
}

void ProcessToolRunner::run(const QString& program, const QStringList& arguments,
                            std::chrono::milliseconds guard, QObject* context, Done done) {
    auto* process = new QProcess();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process->setProcessEnvironment(environment);
    process->setStandardErrorFile(QProcess::nullDevice());
    process->setProgram(program);
    process->setArguments(arguments);

    // Delivers once, from whichever of "ended" and "could not start" comes first.
    auto delivered = std::make_shared<bool>(false);
    QPointer<QObject> receiver(context);
    const bool hasContext = context != nullptr;
    auto deliver = [delivered, receiver, hasContext, done = std::move(done)](bool started,
                                                                             const QByteArray& output) {
        if (*delivered)
            return;
        *delivered = true;
        if (hasContext && !receiver)
            return;
        done(started ? std::optional<QByteArray>(output) : std::optional<QByteArray>());
    };

    auto* stop = new QTimer(process);
    stop->setSingleShot(true);
    auto* kill = new QTimer(process);
    kill->setSingleShot(true);
    QObject::connect(stop, &QTimer::timeout, process, [process, kill, grace = killGrace_] {
        process->terminate();
        kill->start(grace);
    });
    // A tool that ignores the request to end is killed, so the caller always resumes.
    QObject::connect(kill, &QTimer::timeout, process, [process] { process->kill(); });
    QObject::connect(process, &QProcess::finished, process, [process, deliver] {
        deliver(true, process->readAllStandardOutput());
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, deliver](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         deliver(false, {});
                         process->deleteLater();
                     });
    process->start(QIODevice::ReadOnly);
    if (process->state() != QProcess::NotRunning || process->error() != QProcess::FailedToStart)
        stop->start(guard);
}
