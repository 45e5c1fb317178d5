#include "ui/kit/VisualEffectSurface.h"

#include "ui/kit/Ink.h"

#include <QPainter>
#include <QPainterPath>

VisualEffectSurface::VisualEffectSurface(double radius, QWidget* parent) : QWidget(parent), radius_(radius) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void VisualEffectSurface::setRadius(double radius) {
    radius_ = radius;
    layer_.clear();
    update();
}

void VisualEffectSurface::setTranslucent(bool translucent) {
    translucent_ = translucent;
    update();
}

QColor VisualEffectSurface::fill() const {
    QColor c = palette().color(QPalette::Window);
    // A touch of the scheme's tint over the window colour, like a popover material.
    c = Ink::mix(c, Ink::scheme(this) == Scheme::Dark ? QColor(0, 0, 0) : QColor(255, 255, 255), 0.15);
    c.setAlphaF(translucent_ ? 0.94f : 1.0f);
    return c;
}

void VisualEffectSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor colour = fill();
    const QRectF box(rect());
    layer_.draw(painter, box.size(), colour.rgba(), [&](QPainter& p) {
        QPainterPath shape;
        shape.addRoundedRect(box, radius_, radius_);
        p.fillPath(shape, colour);
        p.setPen(QPen(Ink::primary(Ink::scheme(this), 0.08), 1.0));
        p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), radius_ - 0.5, radius_ - 0.5);
    });
}
