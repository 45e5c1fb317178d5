#include "ui/kit/ScaleEffect.h"

#include <QPainter>

#include <algorithm>

ScaleEffect::ScaleEffect(QObject* parent) : QGraphicsEffect(parent) {}

void ScaleEffect::setScale(double scale) {
    scale = std::max(0.0, scale);
    if (scale == scale_)
        return;
    scale_ = scale;
    updateBoundingRect();
    update();
}

QRectF ScaleEffect::boundingRectFor(const QRectF& rect) const {
    const QPointF centre = rect.center();
    const double s = std::max(1.0, scale_);
    return QRectF(centre.x() - rect.width() * s / 2, centre.y() - rect.height() * s / 2, rect.width() * s,
                  rect.height() * s);
}

void ScaleEffect::draw(QPainter* painter) {
    // Through the source pixmap, as every effect of the kit: the pass-through path misdraws
    // widgets nested two or more levels below the one being rendered.
    QPoint at;
    const QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &at);
    if (pixmap.isNull())
        return;
    const QRectF source = sourceBoundingRect(Qt::LogicalCoordinates);
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF centre = source.center();
    painter->translate(centre);
    painter->scale(scale_, scale_);
    painter->translate(-centre);
    painter->drawPixmap(at, pixmap);
    painter->restore();
}
