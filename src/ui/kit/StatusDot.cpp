#include "ui/kit/StatusDot.h"

#include "ui/kit/Ink.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

StatusDot::StatusDot(StatusLevel level, double size, QWidget* parent)
    : QWidget(parent), level_(level), size_(size) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatusDot::setLevel(StatusLevel level) {
    level_ = level;
    update();
}

QColor StatusDot::color(StatusLevel level) {
    switch (level) {
    case StatusLevel::Ok:
        return QColor(52, 199, 89);
    case StatusLevel::Warning:
        return QColor(255, 204, 0);
    case StatusLevel::Problem:
        return QColor(255, 59, 48);
    }
    return QColor(52, 199, 89);
}

QSize StatusDot::sizeHint() const {
    const int side = static_cast<int>(std::ceil(size_));
    return QSize(side, side);
}

void StatusDot::paint(QPainter& painter, const QRectF& rect, StatusLevel level, const QWidget* schemeSource) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor base = color(level);
    // The standard gradient of one colour: a little lighter at the top, the colour at the bottom.
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, base.lighter(118));
    gradient.setColorAt(1, base);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(rect);
    painter.setPen(QPen(Ink::primary(Ink::scheme(schemeSource), 0.12), 0.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(rect.adjusted(0.25, 0.25, -0.25, -0.25));
    painter.restore();
}

void StatusDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF box((width() - size_) / 2, (height() - size_) / 2, size_, size_);
    paint(painter, box, level_, this);
}
