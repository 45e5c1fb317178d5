#include "ui/rooms/MiniSwitch.h"

#include "ui/kit/Ink.h"

#include <QPainter>

MiniSwitch::MiniSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFixedSize(26, 15);
    setCursor(Qt::PointingHandCursor);
}

void MiniSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track(0, 0, 26, 15);
    painter.setBrush(isChecked() ? palette().color(QPalette::Highlight)
                                 : Ink::primary(Ink::scheme(this), 0.15));
    painter.drawRoundedRect(track, 7.5, 7.5);
    const double knob = 15 - 3;
    const double left = isChecked() ? 26 - 1.5 - knob : 1.5;
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(left, 1.5, knob, knob));
}
