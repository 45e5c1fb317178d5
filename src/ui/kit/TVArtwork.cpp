#include "ui/kit/TVArtwork.h"

#include "ui/kit/Symbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

TVArtwork::TVArtwork(double size, QWidget* parent) : QWidget(parent), size_(size) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize TVArtwork::sizeHint() const {
    const int side = static_cast<int>(std::ceil(size_));
    return QSize(side, side);
}

void TVArtwork::paint(QPainter& painter, const QRectF& box) {
    const double size = box.width();
    const double r = 0.18 * size;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(box, r, r);
    painter.setClipPath(shape);
    QLinearGradient base(box.topLeft(), box.bottomRight());
    base.setColorAt(0, QColor::fromRgbF(0.4f, 0.42f, 0.47f));
    base.setColorAt(1, QColor::fromRgbF(0.2f, 0.22f, 0.25f));
    painter.fillRect(box, base);
    QRadialGradient light(QPointF(box.center().x(), box.top()), 0.8 * size);
    light.setColorAt(0, QColor(255, 255, 255, static_cast<int>(std::lround(0.28 * 255))));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(box, light);
    const double glyph = 0.42 * size;
    Symbols::paint(painter, QRectF(box.center() - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph)),
                   QStringLiteral("tv.fill"),
                   QColor(255, 255, 255, static_cast<int>(std::lround(0.92 * 255))));
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, static_cast<int>(std::lround(0.12 * 255))), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), r - 0.5, r - 0.5);
    painter.restore();
}

void TVArtwork::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF box((width() - size_) / 2, (height() - size_) / 2, size_, size_);
    layer_.draw(painter, QSizeF(size()), 0, [&](QPainter& p) { paint(p, box); });
}
