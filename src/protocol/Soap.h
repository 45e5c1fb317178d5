#pragma once

#include "protocol/LeafParser.h"
#include "protocol/Service.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QList>
#include <QPair>
#include <QString>

// The one UPnP control call: every command to a speaker and every state read outside the
// event stream is one SOAP action POSTed to port 1400.
namespace SOAP {

using Arguments = QList<QPair<QString, QString>>;

// The one-line envelope of an action, as sent: argument values with "&", "<", ">" and the
// double quote written as entities, apostrophes as they are.
QByteArray envelope(Service service, const QString& action, const Arguments& args);

// The SOAPACTION header value: "\"<service type URN>#<action>\"".
QByteArray soapAction(Service service, const QString& action);

// Sends `action` with `args` (in their order) to the speaker at `host` and returns the reply's
// leaf fields. Status 200 is success, even with an empty or unreadable body; any other status
// throws SonosError ("<action> failed (UPnP <code or ?>)"); no complete answer (none within 3.0 s
// of idleness or 10 s in all, or one cut short) or a host that forms no URL throws TransportError.
// The request is sent exactly once.
QCoro::Task<Fields> call(QString host, Service service, QString action, Arguments args);

} // namespace SOAP
