#pragma once

#include <QColor>
#include <QImage>
#include <QSizeF>

#include <functional>

class QPainter;

// One cached raster layer of a widget's static drawing (a tile's fill, a surface): drawn once
// per size, device pixel ratio and key colour, then blitted. Painting a large antialiased shape
// costs far more than blitting its pixels.
class LayerCache {
public:
    // Draws the layer at (0, 0) with `painter`, repainting it through `paint` (in logical
    // coordinates of a `size` rectangle) when size, ratio or key changed.
    void draw(QPainter& painter, const QSizeF& size, QRgb key, const std::function<void(QPainter&)>& paint);
    void clear() { image_ = QImage(); }

private:
    QImage image_;
    QSizeF size_;
    double ratio_ = 0;
    QRgb key_ = 0;
};
