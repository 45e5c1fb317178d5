#pragma once

// The pointer entering and leaving a widget, sent straight to it: offscreen windows have no
// real pointer to move.
#include <QCoreApplication>
#include <QEnterEvent>
#include <QWidget>

namespace test {

inline void enter(QWidget* widget) {
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(widget, &event);
}

inline void leave(QWidget* widget) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace test
