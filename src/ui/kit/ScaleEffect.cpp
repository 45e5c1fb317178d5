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

void ScaleEffect::setOpacity(double opacity) {
    opacity = std::clamp(opacity, 0.0, 1.0);
    if (opacity == opacity_)
        return;
    opacity_ = opacity;
    update();
}

void ScaleEffect::setAnchor(std::optional<QPointF> anchor) {
    if (anchor == anchor_)
        return;
    anchor_ = anchor;
    updateBoundingRect();
    update();
}

QRectF ScaleEffect::boundingRectFor(const QRectF& rect) const {
    if (scale_ <= 1)
        return rect;
    const QPointF fixed = anchor_.value_or(rect.center());
    const auto grown = [&](const QPointF& p) { return fixed + (p - fixed) * scale_; };
    return QRectF(grown(rect.topLeft()), grown(rect.bottomRight()));
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
    painter->setOpacity(painter->opacity() * opacity_);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF fixed = anchor_.value_or(source.center());
    painter->translate(fixed);
    painter->scale(scale_, scale_);
    painter->translate(-fixed);
    painter->drawPixmap(at, pixmap);
    painter->restore();
}
