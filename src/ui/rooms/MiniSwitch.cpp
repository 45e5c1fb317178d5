#include "ui/rooms/MiniSwitch.h"

#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/rooms/DrawnSwitch.h"

#include <QPainter>

MiniSwitch::MiniSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setFixedSize(26, 15);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        // A switch not on screen yet shows its state at once.
        const std::chrono::milliseconds duration =
            isVisible() ? Motion::tooltip : std::chrono::milliseconds(0);
        Motion::animate(this, animation_, amount_, on ? 1.0 : 0.0, duration, Motion::panelCurve(),
                        [this](double amount) {
                            amount_ = amount;
                            update();
                        });
    });
}

void MiniSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawnSwitch::paintAmount(painter, QRectF(0, 0, 26, 15), Ink::scheme(this), amount_);
}
