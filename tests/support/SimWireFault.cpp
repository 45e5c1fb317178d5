#include "SimWireFault.h"

#include <memory>

#include <QTcpSocket>
#include <QTimer>

namespace sim {

bool isWireFault(Fault::Kind kind) {
    switch (kind) {
    case Fault::Kind::cutAfterHeaders:
    case Fault::Kind::stallAfterHeaders:
    case Fault::Kind::closeUnanswered:
    case Fault::Kind::trickle:
        return true;
    default:
        return false;
    }
}

void playWireFault(QTcpSocket* socket, const Fault& fault, const QByteArray& answer) {
    const qsizetype headEnd = answer.indexOf("\r\n\r\n") + 4;
    const QByteArray head = answer.left(headEnd);
    switch (fault.kind) {
    case Fault::Kind::cutAfterHeaders: {
        QByteArray promise = head;
        const qsizetype field = promise.indexOf("Content-Length: ");
        const qsizetype end = promise.indexOf("\r\n", field);
        promise.replace(field, end - field, "Content-Length: 1000");
        const QByteArray body = answer.mid(headEnd).leftJustified(1000, ' ');
        socket->write(promise + body.left(190));
        socket->disconnectFromHost();
        break;
    }
    case Fault::Kind::stallAfterHeaders:
        socket->write(head);
        break;
    case Fault::Kind::closeUnanswered:
        socket->disconnectFromHost();
        break;
    case Fault::Kind::trickle: {
        auto* timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, answer, sent] {
            if (*sent >= answer.size()) {
                timer->stop();
                return;
            }
            socket->write(answer.mid((*sent)++, 1));
        });
        timer->start(fault.delay);
        break;
    }
    default:
        break;
    }
}

} // namespace sim
