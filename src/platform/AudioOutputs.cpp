#include "platform/AudioOutputs.h"

#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace {
constexpr int callLimitMs = 3000;
QString pactl() {
    return QStandardPaths::findExecutable(QStringLiteral("pactl"));
}
} // namespace

AudioOutputs::AudioOutputs(QObject* parent) : QObject(parent) {}

bool AudioOutputs::available() {
    return !pactl().isEmpty();
}

void AudioOutputs::run(const QStringList& arguments, std::function<void(bool, QString)> done) {
    const QString program = pactl();
    if (program.isEmpty()) {
        done(false, QString());
        return;
    }
    auto* process = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C")); // field names in English
    process->setProcessEnvironment(environment);
    auto* limit = new QTimer(process);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, process, [process] { process->kill(); });
    auto finish = std::make_shared<std::function<void(bool, QString)>>(std::move(done));
    connect(process, &QProcess::finished, this, [process, finish](int code, QProcess::ExitStatus status) {
        const bool ok = status == QProcess::NormalExit && code == 0;
        const QString out = QString::fromUtf8(process->readAllStandardOutput());
        process->deleteLater();
        if (*finish)
            std::exchange(*finish, nullptr)(ok, out);
    });
    connect(process, &QProcess::errorOccurred, this, [process, finish](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // a crash or kill still ends in finished()
        process->deleteLater();
        if (*finish)
            std::exchange(*finish, nullptr)(false, QString());
    });
    process->start(program, arguments);
    limit->start(callLimitMs);
}

QList<AudioOutput> AudioOutputs::parseSinks(const QString& text) {
    QList<AudioOutput> outputs;
    const QStringList lines = text.split(u'\n');
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(u"Sink #")) {
            outputs.append(AudioOutput{});
        } else if (!outputs.isEmpty() && line.startsWith(u"Name:")) {
            outputs.last().name = line.mid(5).trimmed();
        } else if (!outputs.isEmpty() && line.startsWith(u"Description:")) {
            outputs.last().description = line.mid(12).trimmed();
        }
    }
    QList<AudioOutput> named;
    for (AudioOutput& output : outputs) {
        if (output.name.isEmpty())
            continue;
        if (output.description.isEmpty())
            output.description = output.name;
        named.append(output);
    }
    return named;
}

void AudioOutputs::list(std::function<void(QList<AudioOutput>)> done) {
    QPointer<AudioOutputs> self(this);
    run({QStringLiteral("list"), QStringLiteral("sinks")}, [self, done](bool ok, const QString& out) {
        if (!self)
            return;
        QList<AudioOutput> outputs = ok ? parseSinks(out) : QList<AudioOutput>();
        if (outputs.isEmpty()) {
            done(outputs);
            return;
        }
        self->run({QStringLiteral("get-default-sink")},
                  [done, outputs](bool found, const QString& name) mutable {
                      const QString chosen = found ? name.trimmed() : QString();
                      for (AudioOutput& output : outputs)
                          output.isDefault = !chosen.isEmpty() && output.name == chosen;
                      done(outputs);
                  });
    });
}

void AudioOutputs::makeDefault(const QString& name, std::function<void(bool)> done) {
    run({QStringLiteral("set-default-sink"), name}, [done](bool ok, const QString&) {
        if (done)
            done(ok);
    });
}
