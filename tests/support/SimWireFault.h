#pragma once

#include "SimFault.h"

#include <QByteArray>

class QTcpSocket;

namespace sim {

// Whether `kind` is a fault of the connection rather than of the answer's content.
bool isWireFault(Fault::Kind kind);

// Plays a connection fault on `socket` (on the simulator's thread) with `answer`, the whole
// answer (head and body) that a sound speaker would send. The connection serves no further
// request.
void playWireFault(QTcpSocket* socket, const Fault& fault, const QByteArray& answer);

} // namespace sim
