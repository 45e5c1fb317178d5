#include "ui/kit/LayerCache.h"

#include "core/RenderMode.h"
#include "ui/kit/Symbols.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
constexpr char translucentGround[] = "translucentGround";
} // namespace

void LayerCache::setTranslucentGround(QWidget* root, bool translucent) {
    root->setProperty(translucentGround, translucent);
}

bool LayerCache::keepsText(const QWidget* widget) {
    // A still is drawn on an opaque surface.
    if (RenderMode::active())
        return false;
    for (; widget; widget = widget->parentWidget()) {
        if (widget->property(translucentGround).toBool())
            return true;
        if (widget->isWindow())
            break;
    }
    return false;
}

void LayerCache::draw(QPainter& painter, const QSizeF& size, QRgb key,
                      const std::function<void(QPainter&)>& paint) {
    const double ratio = Symbols::targetRatio(painter);
    if (image_.isNull() || size != size_ || ratio != ratio_ || key != key_) {
        render(ratio, size, paint);
        key_ = key;
    }
    painter.drawImage(QPointF(0, 0), image_);
}

void LayerCache::draw(QPainter& painter, const QSizeF& size, const LayerKey& key,
                      const std::function<void(QPainter&)>& paint) {
    if (painter.transform().type() > QTransform::TxTranslate) {
        painter.save();
        paint(painter);
        painter.restore();
        return;
    }
    const double ratio = Symbols::targetRatio(painter);
    if (image_.isNull() || size != size_ || ratio != ratio_ || !(key == layerKey_)) {
        render(ratio, size, paint);
        layerKey_ = key;
    }
    painter.drawImage(QPointF(0, 0), image_);
}

void LayerCache::drawFrame(QPainter& painter, const QSizeF& size, QRgb key, double edge, double corner,
                           const std::function<void(QPainter&)>& paint) {
    const double ratio = Symbols::targetRatio(painter);
    if (image_.isNull() || size != size_ || ratio != ratio_ || key != key_) {
        render(ratio, size, paint);
        key_ = key;
    }
    const double w = size.width(), h = size.height();
    if (h <= 2 * corner || w <= 2 * edge) {
        painter.drawImage(QPointF(0, 0), image_);
        return;
    }
    const double middle = h - 2 * corner;
    const QRectF parts[] = {QRectF(0, 0, w, std::min(corner, h)),
                            QRectF(0, h - std::min(corner, h), w, std::min(corner, h)),
                            QRectF(0, corner, edge, middle), QRectF(w - edge, corner, edge, middle)};
    for (const QRectF& part : parts) {
        const QRect pixels =
            QRectF(part.topLeft() * ratio, part.size() * ratio).toAlignedRect() & image_.rect();
        if (!pixels.isEmpty())
            painter.drawImage(QRectF(QPointF(pixels.topLeft()) / ratio, QSizeF(pixels.size()) / ratio),
                              image_, QRectF(pixels));
    }
}

void LayerCache::render(double ratio, const QSizeF& size, const std::function<void(QPainter&)>& paint) {
    const QSize device(static_cast<int>(std::ceil(size.width() * ratio)),
                       static_cast<int>(std::ceil(size.height() * ratio)));
    if (image_.size() != device || image_.devicePixelRatio() != ratio) {
        image_ = QImage(device, QImage::Format_ARGB32_Premultiplied);
        image_.setDevicePixelRatio(ratio);
    }
    image_.fill(Qt::transparent);
    QPainter layer(&image_);
    layer.setRenderHint(QPainter::Antialiasing);
    paint(layer);
    size_ = size;
    ratio_ = ratio;
}
