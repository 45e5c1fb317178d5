#include "app/SingleInstance.h"

#include "core/Log.h"
#include "platform/InstanceArguments.h"
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
    return InstanceArguments::usable(arguments);
}

void SingleInstance::received(const QStringList& arguments) {
    const QStringList urls = usable(arguments);
    if (urls.isEmpty())
        emit reopenRequested();
    else
        emit urlsReceived(urls);
}
