#pragma once

#include <QColor>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QVarLengthArray>

#include <concepts>
#include <cstring>
#include <functional>
#include <type_traits>

class QPainter;
class QWidget;

// Everything a cached drawing depends on, appended value by value in a fixed order: two keys
// are equal exactly when every value was, so a layer is only reused for the same picture.
class LayerKey {
public:
    template <typename T>
    requires std::is_arithmetic_v<T> || std::is_enum_v<T> LayerKey& operator<<(T value) {
        bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
        return *this;
    }
    LayerKey& operator<<(const QString& text) {
        *this << text.size();
        bytes_.append(reinterpret_cast<const char*>(text.constData()),
                      static_cast<qsizetype>(text.size() * sizeof(QChar)));
        return *this;
    }
    LayerKey& operator<<(const QColor& colour) { return *this << static_cast<quint64>(colour.rgba64()); }
    LayerKey& operator<<(const QSizeF& size) { return *this << size.width() << size.height(); }
    bool operator==(const LayerKey& other) const {
        return bytes_.size() == other.bytes_.size() &&
               std::memcmp(bytes_.constData(), other.bytes_.constData(),
                           static_cast<size_t>(bytes_.size())) == 0;
    }

private:
    // Keys are built on every repaint of a layered view: the usual ones fit without a heap
    // allocation.
    QVarLengthArray<char, 160> bytes_;
};

// One cached raster layer of a widget's static drawing (a tile's fill, a surface): drawn once
// per size, device pixel ratio and key colour, then blitted. Painting a large antialiased shape
// costs far more than blitting its pixels.
class LayerCache {
public:
    // Draws the layer at (0, 0) with `painter`, repainting it through `paint` (in logical
    // coordinates of a `size` rectangle) when size, ratio or key changed.
    void draw(QPainter& painter, const QSizeF& size, QRgb key, const std::function<void(QPainter&)>& paint);
    // The same for a drawing that depends on several values. Under a scaling or rotating
    // transform the drawing goes straight to `painter` (a blit would resample it).
    void draw(QPainter& painter, const QSizeF& size, const LayerKey& key,
              const std::function<void(QPainter&)>& paint);
    // The same for a layer whose paint lies within `edge` of its sides and `corner` of its top
    // and bottom (a frame): only those parts are copied, the empty middle is skipped.
    void drawFrame(QPainter& painter, const QSizeF& size, QRgb key, double edge, double corner,
                   const std::function<void(QPainter&)>& paint);
    void clear() { image_ = QImage(); }

    // Text may be kept in a layer only where it comes out as drawn straight onto the window.
    // Glyphs blended onto an opaque ground are gamma-corrected, onto a transparent layer they
    // are not; onto a translucent ground both blend alike, to the level. A view whose whole
    // ground is translucent (the live panel's surface) says so once for everything it holds.
    static void setTranslucentGround(QWidget* root, bool translucent);
    static bool keepsText(const QWidget* widget);

private:
    void render(double ratio, const QSizeF& size, const std::function<void(QPainter&)>& paint);

    QImage image_;
    LayerKey layerKey_;
    QSizeF size_;
    double ratio_ = 0;
    QRgb key_ = 0;
};
