#include "ui/rooms/DrawnSwitch.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

DrawnSwitch::DrawnSwitch(QWidget* parent) : DrawnSwitch(nullptr, parent) {}

DrawnSwitch::DrawnSwitch(std::function<double()> amount, QWidget* parent)
    : QWidget(parent), amount_(std::move(amount)) {
    setFixedSize(26, 15);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents); // the row under it takes the clicks
}

QColor DrawnSwitch::accent(Scheme scheme) {
    return scheme == Scheme::Dark ? QColor(10, 132, 255) : QColor(0, 122, 255);
}

namespace {

QRectF knobAt(const QRectF& track, double left) {
    const double size = track.height() - 2 * DrawnSwitch::inset;
    return QRectF(track.left() + left, track.top() + DrawnSwitch::inset, size, size);
}

} // namespace

void DrawnSwitch::paintOn(QPainter& painter, const QRectF& track, Scheme scheme) {
    const double radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent(scheme));
    painter.drawRoundedRect(track, radius, radius);
    painter.setBrush(Qt::white);
    painter.drawEllipse(knobAt(track, track.width() - track.height() + inset));
}

void DrawnSwitch::paintAmount(QPainter& painter, const QRectF& track, Scheme scheme, double amount) {
    const double p = std::isfinite(amount) ? std::clamp(amount, 0.0, 1.0) : 1.0;
    const double radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Ink::primary(scheme, 0.15));
    painter.drawRoundedRect(track, radius, radius);
    QColor on = accent(scheme);
    on.setAlphaF(static_cast<float>(p));
    painter.setBrush(on);
    painter.drawRoundedRect(track, radius, radius);
    const QRectF knob = knobAt(track, inset + travel * p);
    // The knob's shadow: black at 0.15, about a point soft, half a point low.
    for (const double spread : {1.0, 0.5}) {
        painter.setBrush(QColor(0, 0, 0, spread > 0.75 ? 15 : 23));
        painter.drawEllipse(knob.translated(0, 0.5).adjusted(-spread, -spread, spread, spread));
    }
    painter.setBrush(Qt::white);
    painter.drawEllipse(knob);
}

void DrawnSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track(0, 0, trackWidth, trackHeight);
    if (amount_)
        paintAmount(painter, track, Ink::scheme(this), amount_());
    else
        paintOn(painter, track, Ink::scheme(this));
}
