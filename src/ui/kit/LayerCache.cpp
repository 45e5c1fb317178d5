#include "ui/kit/LayerCache.h"

#include "ui/kit/Symbols.h"

#include <QPainter>

#include <cmath>

void LayerCache::draw(QPainter& painter, const QSizeF& size, QRgb key,
                      const std::function<void(QPainter&)>& paint) {
    const double ratio = Symbols::targetRatio(painter);
    if (image_.isNull() || size != size_ || ratio != ratio_ || key != key_) {
        const QSize device(static_cast<int>(std::ceil(size.width() * ratio)),
                           static_cast<int>(std::ceil(size.height() * ratio)));
        image_ = QImage(device, QImage::Format_ARGB32_Premultiplied);
        image_.setDevicePixelRatio(ratio);
        image_.fill(Qt::transparent);
        QPainter layer(&image_);
        layer.setRenderHint(QPainter::Antialiasing);
        paint(layer);
        size_ = size;
        ratio_ = ratio;
        key_ = key;
    }
    painter.drawImage(QPointF(0, 0), image_);
}
