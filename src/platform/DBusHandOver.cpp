#include "platform/DBusHandOver.h"

#include "core/Log.h"

#include <dbus/dbus.h>

#include <cstring>
#include <memory>

namespace {

const char* const objectPath = "/";
const char* const method = "Open";

// libdbus objects with their own release functions.
struct ConnectionRelease {
    void operator()(DBusConnection* connection) const {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
};
struct MessageRelease {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionRelease>;
using Message = std::unique_ptr<DBusMessage, MessageRelease>;

// A DBusError that frees itself.
struct Error {
    DBusError error;
    Error() { dbus_error_init(&error); }
    ~Error() { dbus_error_free(&error); }
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;
    bool isSet() const { return dbus_error_is_set(&error); }
    bool is(const char* name) const { return dbus_error_has_name(&error, name); }
    QString text() const { return QString::fromUtf8(error.message ? error.message : error.name); }
};

Connection connectTo(const QByteArray& busAddress, Error& error) {
    if (busAddress.isEmpty())
        return Connection(dbus_bus_get_private(DBUS_BUS_SESSION, &error.error));
    Connection connection(dbus_connection_open_private(busAddress.constData(), &error.error));
    if (connection && !dbus_bus_register(connection.get(), &error.error))
        return {};
    return connection;
}

// The call, with the arguments as one array of texts; it never starts a service that is not
// running.
Message openCall(const QByteArray& service, const QStringList& arguments) {
    Message call(dbus_message_new_method_call(service.constData(), objectPath, service.constData(), method));
    if (!call)
        return {};
    dbus_message_set_auto_start(call.get(), FALSE);
    DBusMessageIter iter;
    DBusMessageIter array;
    dbus_message_iter_init_append(call.get(), &iter);
    if (!dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, DBUS_TYPE_STRING_AS_STRING, &array))
        return {};
    for (const QString& argument : arguments) {
        const QByteArray text = argument.toUtf8();
        if (std::strlen(text.constData()) != static_cast<size_t>(text.size()) ||
            !dbus_validate_utf8(text.constData(), nullptr)) {
            qCWarning(logApp) << "Leaving out an argument the session bus cannot carry";
            continue;
        }
        const char* data = text.constData();
        if (!dbus_message_iter_append_basic(&array, DBUS_TYPE_STRING, &data)) {
            dbus_message_iter_abandon_container(&iter, &array);
            return {};
        }
    }
    if (!dbus_message_iter_close_container(&iter, &array))
        return {};
    return call;
}

} // namespace

DBusHandOver::Outcome DBusHandOver::send(const QString& service, const QStringList& arguments, int timeoutMs,
                                         const QByteArray& busAddress) {
    Error error;
    const Connection connection = connectTo(busAddress, error);
    if (!connection) {
        // The program says so itself once it runs.
        qCDebug(logApp) << "No D-Bus session bus (" << error.text() << ")";
        return Outcome::noBus;
    }
    // A bus that goes away must end this call, not the process.
    dbus_connection_set_exit_on_disconnect(connection.get(), FALSE);

    const Message call = openCall(service.toUtf8(), arguments);
    if (!call) {
        qCWarning(logApp) << "Out of memory while building the hand-over";
        return Outcome::refused;
    }
    const Message reply(
        dbus_connection_send_with_reply_and_block(connection.get(), call.get(), timeoutMs, &error.error));
    if (reply)
        return Outcome::taken;
    if (error.is(DBUS_ERROR_SERVICE_UNKNOWN) || error.is(DBUS_ERROR_NAME_HAS_NO_OWNER))
        return Outcome::noInstance;
    if (error.is(DBUS_ERROR_NO_REPLY) || error.is(DBUS_ERROR_TIMEOUT) || error.is(DBUS_ERROR_TIMED_OUT))
        return Outcome::noAnswer;
    if (error.is(DBUS_ERROR_DISCONNECTED) || error.is(DBUS_ERROR_NO_SERVER))
        return Outcome::noBus;
    qCWarning(logApp) << "The running instance refused the hand-over:" << error.text();
    return Outcome::refused;
}
