#include "ui/kit/Tile.h"

#include "ui/kit/Ink.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

Tile::Tile(QWidget* parent) : QWidget(parent) {
    setContentsMargins(padding, padding, padding, padding);
    setAttribute(Qt::WA_TranslucentBackground);
}

QVBoxLayout* Tile::column(int spacing) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

void Tile::setBackdrop(TileBackdrop* backdrop) {
    if (backdrop_)
        disconnect(backdrop_, nullptr, this, nullptr);
    backdrop_ = backdrop;
    if (backdrop_)
        connect(backdrop_, &TileBackdrop::changed, this, [this] {
            if (backdrop_)
                update(backdrop_->area(QRectF(rect())).toAlignedRect());
        });
    update();
}

QSize Tile::sizeHint() const {
    if (layout())
        return QWidget::sizeHint();
    return QSize(2 * padding, 2 * padding);
}

QSize Tile::minimumSizeHint() const {
    if (layout())
        return QWidget::minimumSizeHint();
    return QSize(2 * padding, 2 * padding);
}

void Tile::paintTile(QPainter& painter, const QRectF& rect, const QWidget* schemeSource,
                     TileBackdrop* backdrop) {
    const Scheme scheme = Ink::scheme(schemeSource);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(rect, radius, radius);
    painter.fillPath(shape, Ink::primary(scheme, fillOpacity));
    if (backdrop) {
        painter.save();
        if (!backdrop->clipsToTile())
            painter.setClipPath(shape, Qt::IntersectClip);
        backdrop->paint(painter, rect);
        painter.restore();
    }
    // Inner border: the stroke's centre line lies half a point inside the edge.
    painter.setPen(QPen(Ink::primary(scheme, borderOpacity), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    const QRectF inner = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawRoundedRect(inner, radius - 0.5, radius - 0.5);
    painter.restore();
}

void Tile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const Scheme scheme = Ink::scheme(this);
    const QRectF box(rect());
    const QRgb key = scheme == Scheme::Dark ? 1 : 2;
    fill_.draw(painter, box.size(), key, [&](QPainter& p) {
        QPainterPath shape;
        shape.addRoundedRect(box, radius, radius);
        p.fillPath(shape, Ink::primary(scheme, fillOpacity));
    });
    if (backdrop_) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        if (!backdrop_->clipsToTile()) {
            QPainterPath shape;
            shape.addRoundedRect(box, radius, radius);
            painter.setClipPath(shape, Qt::IntersectClip);
        }
        backdrop_->paint(painter, box);
        painter.restore();
    }
    // The border lies in the outermost point and the corners: the rest of its layer is empty.
    border_.drawFrame(painter, box.size(), key, 2, radius + 1, [&](QPainter& p) {
        p.setPen(QPen(Ink::primary(scheme, borderOpacity), 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    });
}
