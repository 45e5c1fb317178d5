#include "app/SingleInstance.h"

#include "core/Log.h"
#include "platform/InstanceChannel.h"

SingleInstance::SingleInstance(InstanceChannel& channel, QObject* parent)
    : QObject(parent), channel_(channel) {
    connect(&channel_, &InstanceChannel::received, this, &SingleInstance::received);
}

bool SingleInstance::claim() {
    return channel_.claim();
}

bool SingleInstance::handOver(const QStringList& arguments) {
    return channel_.handOver(usable(arguments));
}

QStringList SingleInstance::usable(const QStringList& arguments) {
    QStringList kept;
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (argument.size() > maxArgumentLength) {
            qCWarning(logApp) << "Ignoring an argument of" << argument.size() << "characters";
            continue;
        }
        if (kept.size() == maxArguments) {
            qCWarning(logApp) << "Ignoring" << arguments.size() - maxArguments << "arguments beyond the first"
                              << maxArguments;
            break;
        }
        kept.append(argument);
    }
    return kept;
}

void SingleInstance::received(const QStringList& arguments) {
    const QStringList urls = usable(arguments);
    if (urls.isEmpty())
        emit reopenRequested();
    else
        emit urlsReceived(urls);
}
