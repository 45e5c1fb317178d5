#include "platform/DBusInstanceChannel.h"

#include "core/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace {
const QString objectPath = QStringLiteral("/");
// A hand-over is answered by the owner's event loop at once; a busy owner may take a moment.
constexpr int handOverTimeoutMs = 5000;

QString service() {
    return QString::fromLatin1(DBusInstanceChannel::serviceName);
}
} // namespace

DBusInstanceChannel::DBusInstanceChannel(QDBusConnection bus, QObject* parent)
    : InstanceChannel(parent), bus_(std::move(bus)) {}

DBusInstanceChannel::~DBusInstanceChannel() {
    if (registered_) {
        bus_.unregisterObject(objectPath);
        bus_.unregisterService(service());
    }
}

bool DBusInstanceChannel::claim() {
    if (!bus_.isConnected()) {
        qCWarning(logApp) << "No D-Bus session bus (" << bus_.lastError().message()
                          << "); running without the single-instance check";
        return true;
    }
    // The object is in place before the name is taken, so a hand-over that races with the
    // start finds it.
    if (!bus_.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots)) {
        qCWarning(logApp) << "Cannot register the instance object on the session bus";
        return true;
    }
    registered_ = true;
    const auto reply =
        bus_.interface()->registerService(service(), QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return true;
    bus_.unregisterObject(objectPath);
    registered_ = false;
    if (!reply.isValid()) {
        qCWarning(logApp) << "The session bus refused the instance name (" << reply.error().message()
                          << "); running without the single-instance check";
        return true;
    }
    return false;
}

bool DBusInstanceChannel::handOver(const QStringList& arguments) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(service(), objectPath, service(), QStringLiteral("Open"));
    call << arguments;
    const QDBusMessage reply = bus_.call(call, QDBus::Block, handOverTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return true;
    qCWarning(logApp) << "The running instance did not take the hand-over:" << reply.errorMessage();
    return false;
}

void DBusInstanceChannel::Open(const QStringList& arguments) {
    emit received(arguments);
}
